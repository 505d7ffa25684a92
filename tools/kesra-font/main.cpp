/* kesra-font - makes the library's STCF outline fonts from TrueType faces
 * (Latin pages and the CJK glyphs of code page 936) and shows what is in
 * such a file. */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kesra-font/font_tool.h"

using namespace kesra_font;

namespace {

void usage(std::FILE* to) {
    std::fputs(
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
        "Outlines use a 128-unit em: the face's descender to ascender fills it.\n",
        to);
}

int error_exit(const std::string& message) {
    std::fprintf(stderr, "kesra-font: %s\n", message.c_str());
    return 1;
}

bool add_chars(const std::string& utf8, const std::string& where, BuildOptions* options, std::string* error) {
    options->subset = true;
    if (!decode_utf8(utf8, &options->subset_chars)) {
        *error = where + ": not UTF-8 text";
        return false;
    }
    return true;
}

/* Parses the build options after OUT; false with a message. */
bool parse_build(int argc, char** argv, int first, BuildOptions* options, std::string* error) {
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        const std::string value = has_value ? argv[i + 1] : "";
        auto need_value = [&]() {
            if (!has_value) *error = a + " needs a value";
            return has_value;
        };
        if (a == "--latin" || a == "--cjk") {
            if (!need_value()) return false;
            FaceSource source;
            if (!parse_face_source(value, &source, error)) return false;
            if (a == "--latin")
                options->latin.push_back(source);
            else
                options->cjk = source;
            ++i;
        } else if (a == "--kind") {
            if (!need_value()) return false;
            char* end = nullptr;
            const long kind = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || kind < 0 || kind > kMaxKind) {
                *error = "--kind takes 0, 1, 2, 3 or 4, not '" + value + "'";
                return false;
            }
            options->charset_kind = static_cast<int>(kind);
            ++i;
        } else if (a == "--chars") {
            if (!need_value() || !add_chars(value, "--chars", options, error)) return false;
            ++i;
        } else if (a == "--chars-file") {
            if (!need_value()) return false;
            std::vector<uint8_t> bytes;
            if (!read_file(value, &bytes, error) ||
                !add_chars(std::string(bytes.begin(), bytes.end()), value, options, error))
                return false;
            ++i;
        } else if (a == "--mode6") {
            if (!need_value()) return false;
            options->mode6_codepage = value;
            ++i;
        } else if (a == "--flatten") {
            options->flatten = true;
        } else if (a == "--no-utf16") {
            options->utf16_table = false;
        } else if (a == "--quiet") {
            options->quiet = true;
        } else {
            *error = "unknown option " + a;
            return false;
        }
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

int render_command(int argc, char** argv) {
    std::vector<std::string> args;
    RenderOptions options;
    std::string error;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            args.push_back(a);
            continue;
        }
        if (i + 1 >= argc) return error_exit(a + " needs a value");
        const std::string value = argv[++i];
        if (a == "--size") {
            const size_t x = value.find('x');
            if (!parse_number(a, value.substr(0, x), 5, 100, &options.width, &error) ||
                !parse_number(a, x == std::string::npos ? value : value.substr(x + 1), 5, 100,
                              &options.height, &error))
                return error_exit(error);
        } else if (a == "--levels") {
            if (!parse_number(a, value, 4, 16, &options.levels, &error)) return error_exit(error);
            if (options.levels != 4 && options.levels != 6 && options.levels != 8 && options.levels != 12 &&
                options.levels != 16)
                return error_exit("--levels takes 4, 6, 8, 12 or 16, not '" + value + "'");
        } else if (a == "--page") {
            if (!parse_number(a, value, 1, kMaxPages, &options.page, &error)) return error_exit(error);
        } else if (a == "--flags") {
            if (!parse_number(a, value, 0, 15, &options.flags, &error)) return error_exit(error);
        } else {
            return error_exit("unknown option " + a);
        }
    }
    if (args.size() < 2 || args.size() > 3) {
        usage(stderr);
        return 2;
    }
    if (args.size() == 3) options.out = args[2];
    std::vector<uint32_t> code_points;
    if (!decode_utf8(args[1], &code_points)) return error_exit("the text is not UTF-8");
    std::u16string text;
    for (uint32_t cp : code_points) {
        if (cp > 0xFFFF) return error_exit("the text has a character outside the 16-bit range");
        text += static_cast<char16_t>(cp);
    }
    std::vector<uint8_t> data;
    if (!read_file(args[0], &data, &error) || !render(args[0], data, text, options, &error))
        return error_exit(error);
    std::printf("kesra-font: wrote %s\n", options.out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    std::string error;
    if (command == "build") {
        if (argc < 3 || argv[2][0] == '-') {
            usage(stderr);
            return 2;
        }
        BuildOptions options;
        if (!parse_build(argc, argv, 3, &options, &error)) return error_exit(error);
        BuildStats stats;
        if (!build(argv[2], options, &stats, &error)) return error_exit(error);
        if (!options.quiet)
            std::printf(
                "kesra-font: wrote %s (%zu bytes): %zu Latin, %zu single and %zu composite glyphs, "
                "%zu shared outlines, %zu glyphs as one outline, %zu UTF-16 code units\n",
                argv[2], stats.file_bytes, stats.latin_glyphs, stats.single_glyphs, stats.composite_glyphs,
                stats.shared_components, stats.whole_outlines, stats.utf16_mapped);
        return 0;
    }
    if (command == "info") {
        if (argc != 3) {
            usage(stderr);
            return 2;
        }
        std::vector<uint8_t> data;
        if (!read_file(argv[2], &data, &error) || !info(argv[2], data, &error)) return error_exit(error);
        return 0;
    }
    if (command == "render") return render_command(argc, argv);
    std::fprintf(stderr, "kesra-font: unknown command '%s'\n", command.c_str());
    usage(stderr);
    return 2;
}
