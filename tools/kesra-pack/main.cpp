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

#include "tools/kesra-pack/pack_tool.h"

using namespace kesra_pack;

namespace {

void usage(std::FILE* to) {
    std::fputs(
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
        "Images take their colour as RGB565 and their alpha as levels 0-31 (A / 8).\n",
        to);
}

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

int error_exit(const std::string& message) {
    std::fprintf(stderr, "kesra-pack: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    BuildOptions options;
    bool format_given = false;
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--format")) {
            if (i + 1 >= argc || !parse_format(argv[i + 1], &options.format))
                return error_exit(std::string("--format takes resource, frames or scene") +
                                  (i + 1 < argc ? std::string(", not '") + argv[i + 1] + "'" : ""));
            format_given = true;
            ++i;
        } else if (!std::strcmp(a, "--raw")) {
            options.coding = Coding::Raw;
        } else if (!std::strcmp(a, "--coded")) {
            options.coding = Coding::Coded;
        } else if (!std::strcmp(a, "--alpha")) {
            options.keep_alpha = true;
        } else if (!std::strcmp(a, "--quiet")) {
            options.quiet = true;
        } else if (a[0] == '-' && a[1] == '-') {
            return error_exit(std::string("unknown option ") + a);
        } else {
            args.push_back(a);
        }
    }
    std::string error;
    if (command == "build") {
        if (args.size() < 2) {
            usage(stderr);
            return 2;
        }
        const std::vector<std::string> inputs(args.begin() + 1, args.end());
        if (!build(args[0], inputs, options, &error)) return error_exit(error);
        if (!options.quiet)
            std::printf("kesra-pack: wrote %s (%zu images)\n", args[0].c_str(), inputs.size());
        return 0;
    }
    if (command == "list" || command == "extract") {
        const size_t want = command == "list" ? 1 : 3;
        if (args.size() != want) {
            usage(stderr);
            return 2;
        }
        std::vector<uint8_t> data;
        if (!read_file(args[0], &data, &error)) return error_exit(error);
        Format format = options.format;
        if (!format_given && !detect_format(data, &format, &error)) return error_exit(args[0] + ": " + error);
        if (command == "list") return list(args[0], data, format, &error) ? 0 : error_exit(error);
        long id = 0;
        if (!parse_id(args[1], format, &id, &error)) return error_exit(error);
        return extract(args[0], data, format, id, args[2], &error) ? 0 : error_exit(error);
    }
    std::fprintf(stderr, "kesra-pack: unknown command '%s'\n", command.c_str());
    usage(stderr);
    return 2;
}
