/* kesra-pack - builds the library's image containers from PNG files and
 * shows what is in them: the resource pack (raw or run-length blocks), the
 * compressed frame pack (zlib blocks) and the real-scene file (PNG payloads). */
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/command_line.h"
#include "tools/kesra-pack/pack_tool.h"

using namespace kesra_pack;

namespace {

const kesra::cli::Tool tool(
    "kesra-pack",
    "usage:\n"
    "  kesra-pack build [options] OUT IMAGE.png...\n"
    "      writes the images in order: IDs 300, 301, ... (scene indices 1, 2, ...)\n"
    "      --format resource|frames|scene   container to write (default resource)\n"
    "      --raw | --coded                  force every block raw or run-length coded\n"
    "                                       (default: whichever is smaller)\n"
    "      --alpha                          keep an alpha plane even for opaque images\n"
    "      --quiet                          no progress lines\n"
    "  kesra-pack list [--format F] FILE\n"
    "      prints every entry: ID, size, pixel and alpha blocks with their coding\n"
    "  kesra-pack extract [--format F] FILE ID OUT.png\n"
    "      writes image ID (scene: index) back out as a PNG file\n"
    "Images take their colour as RGB565 and their alpha as levels 0-31 (A / 8).\n");

bool parse_format(const char* text, Format* format) {
    if (!std::strcmp(text, "resource"))
        *format = Format::Resource;
    else if (!std::strcmp(text, "frames"))
        *format = Format::Frames;
    else if (!std::strcmp(text, "scene"))
        *format = Format::Scene;
    else
        return false;
    return true;
}

/* Image IDs are unsigned 32-bit numbers from 300 on; scene indices run from
 * 1 to the largest signed 32-bit count. A number outside is refused rather
 * than cut to 32 bits, which would name another image. */
bool parse_id(const std::string& text, Format format, long* id, std::string* error) {
    const bool scene = format == Format::Scene;
    const long long low = scene ? 1 : 300, high = scene ? INT32_MAX : UINT32_MAX;
    const char* what = scene ? "scene index" : "image ID";
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end) {
        *error = "'" + text + "' is not an " + std::string(scene ? "index" : "image ID");
        return false;
    }
    if (errno == ERANGE || value < low || value > high) {
        *error = "'" + text + "' is out of range: a " + what + " runs from " + std::to_string(low) + " to " +
                 std::to_string(high);
        return false;
    }
    *id = static_cast<long>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int status;
    if (tool.usage_asked(argc, argv, &status)) return status;
    const std::string command = argv[1];
    BuildOptions options;
    bool format_given = false;
    std::vector<std::string> args;
    std::string error;
    const std::string formats = "--format takes resource, frames or scene";
    const std::vector<kesra::cli::Option> known = {
        kesra::cli::with_value(
            "--format",
            [&](const std::string& value, std::string* why) {
                if (!parse_format(value.c_str(), &options.format)) {
                    *why = formats + ", not '" + value + "'";
                    return false;
                }
                format_given = true;
                return true;
            },
            formats),
        kesra::cli::flag("--raw", [&] { options.coding = Coding::Raw; }),
        kesra::cli::flag("--coded", [&] { options.coding = Coding::Coded; }),
        kesra::cli::flag("--alpha", &options.keep_alpha),
        kesra::cli::flag("--quiet", &options.quiet),
    };
    if (!kesra::cli::parse_options(argc, argv, 2, known, &args, &error)) return tool.fail(error);
    if (command == "build") {
        if (args.size() < 2) return tool.usage_error();
        const std::vector<std::string> inputs(args.begin() + 1, args.end());
        if (!build(args[0], inputs, options, &error)) return tool.fail(error);
        if (!options.quiet)
            std::printf("kesra-pack: wrote %s (%zu images)\n", args[0].c_str(), inputs.size());
        return 0;
    }
    if (command == "list" || command == "extract") {
        const size_t want = command == "list" ? 1 : 3;
        if (args.size() != want) return tool.usage_error();
        std::vector<uint8_t> data;
        if (!read_file(args[0], &data, &error)) return tool.fail(error);
        Format format = options.format;
        if (!format_given && !detect_format(data, &format, &error)) return tool.fail(args[0] + ": " + error);
        if (command == "list") return list(args[0], data, format, &error) ? 0 : tool.fail(error);
        long id = 0;
        if (!parse_id(args[1], format, &id, &error)) return tool.fail(error);
        return extract(args[0], data, format, id, args[2], &error) ? 0 : tool.fail(error);
    }
    return tool.unknown_command(command);
}
