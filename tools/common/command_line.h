/* command_line.h - what the tools' command lines share: the usage and error
 * messages every tool writes alike ("NAME: message", usage on standard error
 * with status 2), and a getopt-style reader of "--name [value]" options
 * applied in the order given, the other arguments kept as operands. */
#ifndef KESRA_TOOLS_COMMAND_LINE_H
#define KESRA_TOOLS_COMMAND_LINE_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kesra::cli {

/* A tool's name and usage text. */
class Tool {
   public:
    Tool(const char* name, const char* usage) : name_(name), usage_(usage) {}

    /* The usage when asked for: on standard output with status 0 for --help
     * or -h as the command, on standard error with status 2 when no command
     * is given. False when there is a command to run. */
    bool usage_asked(int argc, char** argv, int* status) const;

    /* "NAME: message" on standard error; the status of a failed run, 1. */
    int fail(const std::string& message) const;
    /* The usage on standard error; the status of a wrong call, 2. */
    int usage_error() const;
    /* "NAME: unknown command 'COMMAND'", then the usage; 2. */
    int unknown_command(const std::string& command) const;

    void print_usage(std::FILE* to) const { std::fputs(usage_, to); }

   private:
    const char* name_;
    const char* usage_;
};

/* One option: a switch ("--quiet") or an option followed by its value
 * ("--format frames"). */
struct Option {
    std::string name;
    bool takes_value = false;
    /* Given the value (empty for a switch); false with a message refuses it. */
    std::function<bool(const std::string& value, std::string* error)> apply;
    /* The message when the value is missing; "NAME needs a value" if empty. */
    std::string missing_value;
};

Option flag(const std::string& name, bool* set);
Option flag(const std::string& name, std::function<void()> on);
Option with_value(const std::string& name,
                  std::function<bool(const std::string& value, std::string* error)> apply,
                  const std::string& missing_value = "");

/* Reads argv[first] to argv[argc - 1]: every argument starting with "--" must
 * be one of `options` and is applied in turn; the others are appended to
 * *operands, or, where operands is null, refused as unknown options.
 * False with the first refusal's message in *error. */
bool parse_options(int argc, char** argv, int first, const std::vector<Option>& options,
                   std::vector<std::string>* operands, std::string* error);

}  // namespace kesra::cli

#endif
