/* kesra-ani - builds the library's animation file from a readable
 * description (animations, their frames as PNG files with alpha, and their
 * forward and backward WAVE sounds) and lists what is in such a file. */
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/command_line.h"
#include "tools/kesra-ani/ani_tool.h"

using namespace kesra_ani;

namespace {

const kesra::cli::Tool tool(
    "kesra-ani",
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
    "  frames PATTERN FIRST LAST   frames from a pattern: frames walk_%02d.png 0 11\n");

}  // namespace

int main(int argc, char** argv) {
    int status;
    if (tool.usage_asked(argc, argv, &status)) return status;
    const std::string command = argv[1];
    Options options;
    std::vector<std::string> args;
    std::string error;
    if (!kesra::cli::parse_options(
            argc, argv, 2,
            {kesra::cli::flag("--alpha", &options.keep_alpha), kesra::cli::flag("--quiet", &options.quiet)},
            &args, &error))
        return tool.fail(error);
    if (command == "build" && args.size() == 2) {
        if (!build(args[0], args[1], options, &error)) return tool.fail(error);
        if (!options.quiet) std::printf("kesra-ani: wrote %s\n", args[0].c_str());
        return 0;
    }
    if (command == "list" && args.size() == 1) {
        std::vector<uint8_t> data;
        if (!read_file(args[0], &data, &error)) return tool.fail(error);
        return list(args[0], data, &error) ? 0 : tool.fail(error);
    }
    if (command != "build" && command != "list") return tool.unknown_command(command);
    return tool.usage_error();
}
