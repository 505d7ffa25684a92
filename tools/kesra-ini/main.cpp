/* kesra-ini - builds a UI configuration file from its readable description
 * and dumps one back to that form: pages with their background counts, the
 * 148-byte button records (as fields or hex) and four texts per button,
 * scrambled with the library's key. The description is UTF-8, the file GBK. */
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/command_line.h"
#include "tools/kesra-ini/ini_tool.h"

using namespace kesra_ini;

namespace {

const kesra::cli::Tool tool(
    "kesra-ini",
    "usage:\n"
    "  kesra-ini build [--quiet] OUT.ini DESCRIPTION.txt\n"
    "  kesra-ini dump FILE.ini [OUT.txt]      (standard output without OUT.txt)\n"
    "A description has one statement a line; '#' starts a comment:\n"
    "  version \"Ver 1.0\"              the version text (at most 31 bytes)\n"
    "  page ID backgrounds N          a page (at most 160), then its buttons (at most 80)\n"
    "  button                         a button given by fields, all 0 unless set:\n"
    "    id N | type N | rect L T R B | images NORMAL DOWN DISABLED | color N\n"
    "    font N | align N | action N | param N | name \"...\" (at most 31 bytes)\n"
    "  button hex HEX                 a button given as its 148 bytes (296 hex digits)\n"
    "  text T \"...\" | text T hex HEX  text T (0-3) of the button: at most 127 bytes,\n"
    "                                 or all 128 as 256 hex digits\n"
    "Strings are UTF-8, stored in the file as GBK (code page 936); they take\n"
    "\\\" \\\\ \\n \\t and \\xNN (one byte stored as it is). Numbers are decimal or 0x hex.\n");

int build(const std::string& out, const std::string& description, bool quiet) {
    std::vector<uint8_t> text;
    std::string error;
    Config config;
    if (!read_file(description, &text, &error)) return tool.fail(error);
    if (!parse_description(std::string(text.begin(), text.end()), description, &config, &error))
        return tool.fail(error);
    if (!kesra::ini::has_version(reinterpret_cast<const uint8_t*>(config.version.c_str())))
        std::fprintf(
            stderr,
            "kesra-ini: %s: warning: version \"%s\" holds no \"Ver 1.\"; the library will refuse the file\n",
            description.c_str(), config.version.c_str());
    const std::vector<uint8_t> file = encode(config);
    if (!write_file(out, file, &error)) return tool.fail(error);
    if (!quiet) {
        for (size_t p = 0; p < config.pages.size(); ++p)
            std::printf("kesra-ini: page %zu (id %u): %zu buttons, %d backgrounds\n", p, config.pages[p].id,
                        config.pages[p].buttons.size(), config.pages[p].backgrounds);
        std::printf("kesra-ini: wrote %s (%zu pages, %zu bytes)\n", out.c_str(), config.pages.size(),
                    file.size());
    }
    return 0;
}

int dump(const std::string& in, const std::string& out) {
    std::vector<uint8_t> data;
    std::string error;
    Config config;
    if (!read_file(in, &data, &error)) return tool.fail(error);
    if (!decode(data, &config, &error)) return tool.fail(in + ": " + error);
    const std::string text = "# " + in + "\n" + describe(config);
    if (out.empty()) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    return write_file(out, std::vector<uint8_t>(text.begin(), text.end()), &error) ? 0 : tool.fail(error);
}

}  // namespace

int main(int argc, char** argv) {
    int status;
    if (tool.usage_asked(argc, argv, &status)) return status;
    const std::string command = argv[1];
    bool quiet = false;
    std::vector<std::string> args;
    std::string error;
    if (!kesra::cli::parse_options(argc, argv, 2, {kesra::cli::flag("--quiet", &quiet)}, &args, &error))
        return tool.fail(error);
    if (command == "build" && args.size() == 2) return build(args[0], args[1], quiet);
    if (command == "dump" && (args.size() == 1 || args.size() == 2))
        return dump(args[0], args.size() == 2 ? args[1] : "");
    if (command != "build" && command != "dump") return tool.unknown_command(command);
    return tool.usage_error();
}
