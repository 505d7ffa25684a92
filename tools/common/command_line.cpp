/* command_line.cpp - the tools' shared messages and their option reader.
 * Options are looked up by their whole name; a value is the next argument,
 * whatever it looks like. */
#include "tools/common/command_line.h"

#include <cstring>
#include <utility>

namespace kesra::cli {

bool Tool::usage_asked(int argc, char** argv, int* status) const {
    const bool no_command = argc < 2;
    if (!no_command && std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0) return false;
    print_usage(no_command ? stderr : stdout);
    *status = no_command ? 2 : 0;
    return true;
}

int Tool::fail(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n", name_, message.c_str());
    return 1;
}

int Tool::usage_error() const {
    print_usage(stderr);
    return 2;
}

int Tool::unknown_command(const std::string& command) const {
    std::fprintf(stderr, "%s: unknown command '%s'\n", name_, command.c_str());
    return usage_error();
}

Option flag(const std::string& name, bool* set) {
    return flag(name, [set] { *set = true; });
}

Option flag(const std::string& name, std::function<void()> on) {
    Option option;
    option.name = name;
    option.apply = [on = std::move(on)](const std::string&, std::string*) {
        on();
        return true;
    };
    return option;
}

Option with_value(const std::string& name,
                  std::function<bool(const std::string& value, std::string* error)> apply,
                  const std::string& missing_value) {
    Option option;
    option.name = name;
    option.takes_value = true;
    option.apply = std::move(apply);
    option.missing_value = missing_value;
    return option;
}

namespace {

const Option* find_option(const std::vector<Option>& options, const std::string& name) {
    for (const Option& option : options)
        if (option.name == name) return &option;
    return nullptr;
}

}  // namespace

bool parse_options(int argc, char** argv, int first, const std::vector<Option>& options,
                   std::vector<std::string>* operands, std::string* error) {
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        const Option* option = find_option(options, arg);
        if (!option) {
            if (operands && arg.compare(0, 2, "--") != 0) {
                operands->push_back(arg);
                continue;
            }
            *error = "unknown option " + arg;
            return false;
        }
        std::string value;
        if (option->takes_value) {
            if (i + 1 >= argc) {
                *error = option->missing_value.empty() ? arg + " needs a value" : option->missing_value;
                return false;
            }
            value = argv[++i];
        }
        if (!option->apply(value, error)) return false;
    }
    return true;
}

}  // namespace kesra::cli
