/* kesra-ani - builds the library's animation file from a readable
 * description (animations, their frames as PNG files with alpha, and their
 * forward and backward WAVE sounds) and lists what is in such a file. */
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kesra-ani/ani_tool.h"

using namespace kesra_ani;

namespace {

void usage(std::FILE* to) {
    std::fputs(
        "usage:\n"
        "  kesra-ani build [--alpha] [--quiet] OUT.ani DESCRIPTION\n"
        "      writes the animations DESCRIPTION describes, in order: IDs 300, 301, ...\n"
        "      --alpha   keep an alpha plane even for opaque frames\n"
        "      --quiet   no progress lines\n"
        "  kesra-ani list FILE\n"
        "      prints every animation with its sounds and frames; exits 1 if any is damaged\n"
        "DESCRIPTION, one statement a line (# starts a comment; paths relative to its folder):\n"
        "  animation [NAME]            the next animation\n"
        "  forward FILE.wav            its sound played forward (PCM, 8 or 16 bits)\n"
        "  backward FILE.wav           its sound played backward\n"
        "  frame FILE.png...           its next frames; colour as RGB565, alpha as A / 8\n"
        "  frames PATTERN FIRST LAST   frames from a pattern: frames walk_%02d.png 0 11\n",
        to);
}

int error_exit(const std::string& message) {
    std::fprintf(stderr, "kesra-ani: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    Options options;
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--alpha"))
            options.keep_alpha = true;
        else if (!std::strcmp(argv[i], "--quiet"))
            options.quiet = true;
        else if (argv[i][0] == '-' && argv[i][1] == '-')
            return error_exit(std::string("unknown option ") + argv[i]);
        else
            args.push_back(argv[i]);
    }
    std::string error;
    if (command == "build" && args.size() == 2) {
        if (!build(args[0], args[1], options, &error)) return error_exit(error);
        if (!options.quiet) std::printf("kesra-ani: wrote %s\n", args[0].c_str());
        return 0;
    }
    if (command == "list" && args.size() == 1) {
        std::vector<uint8_t> data;
        if (!read_file(args[0], &data, &error)) return error_exit(error);
        return list(args[0], data, &error) ? 0 : error_exit(error);
    }
    if (command != "build" && command != "list")
        std::fprintf(stderr, "kesra-ani: unknown command '%s'\n", command.c_str());
    usage(stderr);
    return 2;
}
