/* kesra-font - makes the library's STCF outline fonts from TrueType faces
 * (Latin pages and the CJK glyphs of code page 936) and shows what is in
 * such a file. */
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/common/command_line.h"
#include "tools/kesra-font/font_tool.h"

using namespace kesra_font;

namespace {

const kesra::cli::Tool tool(
    "kesra-font",
    "usage:\n"
    "  kesra-font build OUT.stcf [options]\n"
    "      --latin FONT[:FACE]   a Latin page (bytes 0x20-0xFF, Windows-1252) from this face;\n"
    "                            repeat for pages 2, 3, ... (default: page 1 from the CJK face)\n"
    "      --cjk FONT[:FACE]     the code page 936 glyphs from this face\n"
    "      --kind 0-4            character-set kind: 0 GB2312 hanzi, 1 or 2 all of GBK (default 1),\n"
    "                            3 Big5 with its table, 4 Shift-JIS with the Shift-JIS and EUC tables\n"
    "      --flatten             every CJK glyph one outline (no shared components)\n"
    "      --chars TEXT          only these characters (UTF-8) get CJK glyphs\n"
    "      --chars-file FILE     the same, from a UTF-8 file\n"
    "      --no-utf16            leave out the UTF-16 table\n"
    "      --mode6 CODEPAGE      add the mode-6 table: this iconv code page's two-byte codes\n"
    "                            (CP949, BIG5, ...) as UTF-16, read through the UTF-16 table\n"
    "      --quiet               no progress on standard error\n"
    "  kesra-font info FILE\n"
    "      prints the header, the Latin pages and the glyph counts; checks every table\n"
    "  kesra-font render FILE TEXT [OUT.png] [options]\n"
    "      draws the UTF-8 TEXT through the library's engine (default OUT kesra-font.png)\n"
    "      --size W[xH]          the cell in pixels, 5..100 (default 32)\n"
    "      --levels N            coverage levels: 4, 6, 8, 12 or 16 (default 16)\n"
    "      --page N              Latin page, 1-based (default 1)\n"
    "      --flags N             1 smoothing, 2 sharpening, 4 edge rings, 8 a second ring (0..15)\n"
    "Outlines use a 128-unit em: the face's descender to ascender fills it.\n");

bool add_chars(const std::string& utf8, const std::string& where, BuildOptions* options, std::string* error) {
    options->subset = true;
    if (!decode_utf8(utf8, &options->subset_chars)) {
        *error = where + ": not UTF-8 text";
        return false;
    }
    return true;
}

/* A whole decimal number within [low, high]. */
bool parse_number(const std::string& option, const std::string& text, long low, long high, int* out,
                  std::string* error) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < low || v > high) {
        *error = option + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
                 ", not '" + text + "'";
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

/* Parses the build options after OUT; false with a message. */
bool parse_build(int argc, char** argv, int first, BuildOptions* options, std::string* error) {
    using kesra::cli::flag;
    using kesra::cli::with_value;
    const auto face = [options](bool latin) {
        return [options, latin](const std::string& value, std::string* why) {
            FaceSource source;
            if (!parse_face_source(value, &source, why)) return false;
            if (latin)
                options->latin.push_back(source);
            else
                options->cjk = source;
            return true;
        };
    };
    const std::vector<kesra::cli::Option> known = {
        with_value("--latin", face(true)),
        with_value("--cjk", face(false)),
        with_value("--kind",
                   [options](const std::string& value, std::string* why) {
                       if (parse_number("--kind", value, 0, kMaxKind, &options->charset_kind, why))
                           return true;
                       *why = "--kind takes 0, 1, 2, 3 or 4, not '" + value + "'";
                       return false;
                   }),
        with_value("--chars",
                   [options](const std::string& value, std::string* why) {
                       return add_chars(value, "--chars", options, why);
                   }),
        with_value("--chars-file",
                   [options](const std::string& value, std::string* why) {
                       std::vector<uint8_t> bytes;
                       return read_file(value, &bytes, why) &&
                              add_chars(std::string(bytes.begin(), bytes.end()), value, options, why);
                   }),
        with_value("--mode6",
                   [options](const std::string& value, std::string*) {
                       options->mode6_codepage = value;
                       return true;
                   }),
        flag("--flatten", &options->flatten),
        flag("--no-utf16", [options] { options->utf16_table = false; }),
        flag("--quiet", &options->quiet),
    };
    return kesra::cli::parse_options(argc, argv, first, known, nullptr, error);
}

int render_command(int argc, char** argv) {
    using kesra::cli::with_value;
    std::vector<std::string> args;
    RenderOptions options;
    std::string error;
    const std::vector<kesra::cli::Option> known = {
        kesra::cli::flag("--", [&args] { args.push_back("--"); }),  // a bare "--" is text to draw
        with_value("--size",
                   [&options](const std::string& value, std::string* why) {
                       const size_t x = value.find('x');
                       return parse_number("--size", value.substr(0, x), 5, 100, &options.width, why) &&
                              parse_number("--size", x == std::string::npos ? value : value.substr(x + 1), 5,
                                           100, &options.height, why);
                   }),
        with_value("--levels",
                   [&options](const std::string& value, std::string* why) {
                       if (!parse_number("--levels", value, 4, 16, &options.levels, why)) return false;
                       if (options.levels == 4 || options.levels == 6 || options.levels == 8 ||
                           options.levels == 12 || options.levels == 16)
                           return true;
                       *why = "--levels takes 4, 6, 8, 12 or 16, not '" + value + "'";
                       return false;
                   }),
        with_value("--page",
                   [&options](const std::string& value, std::string* why) {
                       return parse_number("--page", value, 1, kMaxPages, &options.page, why);
                   }),
        with_value("--flags",
                   [&options](const std::string& value, std::string* why) {
                       return parse_number("--flags", value, 0, 15, &options.flags, why);
                   }),
    };
    if (!kesra::cli::parse_options(argc, argv, 2, known, &args, &error)) return tool.fail(error);
    if (args.size() < 2 || args.size() > 3) return tool.usage_error();
    if (args.size() == 3) options.out = args[2];
    std::vector<uint32_t> code_points;
    if (!decode_utf8(args[1], &code_points)) return tool.fail("the text is not UTF-8");
    std::u16string text;
    for (uint32_t cp : code_points) {
        if (cp > 0xFFFF) return tool.fail("the text has a character outside the 16-bit range");
        text += static_cast<char16_t>(cp);
    }
    std::vector<uint8_t> data;
    if (!read_file(args[0], &data, &error) || !render(args[0], data, text, options, &error))
        return tool.fail(error);
    std::printf("kesra-font: wrote %s\n", options.out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int status;
    if (tool.usage_asked(argc, argv, &status)) return status;
    const std::string command = argv[1];
    std::string error;
    if (command == "build") {
        if (argc < 3 || argv[2][0] == '-') return tool.usage_error();
        BuildOptions options;
        if (!parse_build(argc, argv, 3, &options, &error)) return tool.fail(error);
        BuildStats stats;
        if (!build(argv[2], options, &stats, &error)) return tool.fail(error);
        if (!options.quiet)
            std::printf(
                "kesra-font: wrote %s (%zu bytes): %zu Latin, %zu single and %zu composite glyphs, "
                "%zu shared outlines, %zu glyphs as one outline, %zu UTF-16 code units\n",
                argv[2], stats.file_bytes, stats.latin_glyphs, stats.single_glyphs, stats.composite_glyphs,
                stats.shared_components, stats.whole_outlines, stats.utf16_mapped);
        return 0;
    }
    if (command == "info") {
        if (argc != 3) return tool.usage_error();
        std::vector<uint8_t> data;
        if (!read_file(argv[2], &data, &error) || !info(argv[2], data, &error)) return tool.fail(error);
        return 0;
    }
    if (command == "render") return render_command(argc, argv);
    return tool.unknown_command(command);
}
