/* The tools' shared command-line reader and whole-file helpers: options in
 * the order given, values whatever they look like, the refusals' messages,
 * and the tool's own words for a file that cannot be opened. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/common/command_line.h"
#include "tools/common/whole_file.h"

namespace {

using kesra::cli::flag;
using kesra::cli::parse_options;
using kesra::cli::with_value;

/* argv for parse_options from words (argv[0] is the tool). */
struct Argv {
    explicit Argv(std::vector<std::string> words) : words(std::move(words)) {
        for (std::string& w : this->words) pointers.push_back(w.data());
    }
    int argc() const { return static_cast<int>(pointers.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> words;
    std::vector<char*> pointers;
};

struct Parsed {
    bool ok = false;
    std::string error, order;
    std::vector<std::string> operands;
};

/* --a and --b switches that note their order, --v NAME with a value. */
Parsed parse(std::vector<std::string> words, bool operands = true) {
    Parsed p;
    Argv args(std::move(words));
    const std::vector<kesra::cli::Option> options = {
        flag("--a", [&p] { p.order += "a"; }),
        flag("--b", [&p] { p.order += "b"; }),
        with_value("--v",
                   [&p](const std::string& v, std::string*) { return p.order += "v=" + v + ";", true; }),
        with_value(
            "--bad", [](const std::string& v, std::string* why) { return *why = "no " + v, false; },
            "--bad takes something"),
    };
    p.ok = parse_options(args.argc(), args.argv(), 1, options, operands ? &p.operands : nullptr, &p.error);
    return p;
}

}  // namespace

TEST(ToolCommandLine, OptionsApplyInOrderAmongOperands) {
    const Parsed p = parse({"tool", "x", "--b", "--v", "--a", "-y", "--a", "z"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.order, "bv=--a;a");  // a value is the next argument, dashes and all
    EXPECT_EQ(p.operands, (std::vector<std::string>{"x", "-y", "z"}));
}

TEST(ToolCommandLine, RefusalsNameTheFirstFault) {
    EXPECT_EQ(parse({"tool", "--a", "--c", "--d"}).error, "unknown option --c");
    EXPECT_EQ(parse({"tool", "--"}).error, "unknown option --");
    EXPECT_EQ(parse({"tool", "--v"}).error, "--v needs a value");
    EXPECT_EQ(parse({"tool", "--bad"}).error, "--bad takes something");
    EXPECT_EQ(parse({"tool", "--bad", "x", "--c"}).error, "no x");
    const Parsed stray = parse({"tool", "--a", "x", "--c"}, false);
    EXPECT_FALSE(stray.ok);
    EXPECT_EQ(stray.error, "unknown option x");
    EXPECT_EQ(stray.order, "a");
}

TEST(ToolWholeFile, RoundTripAndTheToolsWordsForFailures) {
    const std::string dir = ::testing::TempDir();
    const std::string path = dir + "/whole_file.bin";
    const std::vector<uint8_t> bytes(100000, 0xA5);  // more than one read piece
    std::string error;
    ASSERT_TRUE(kesra::cli::write_whole_file(path, bytes, {"cannot create", "write failed"}, &error))
        << error;
    std::vector<uint8_t> back{1, 2, 3};
    ASSERT_TRUE(kesra::cli::read_whole_file(path, &back, {"cannot open", "read failed"}, &error)) << error;
    EXPECT_EQ(back, bytes);

    const std::string absent = dir + "/absent%s/file";
    EXPECT_FALSE(kesra::cli::read_whole_file(absent, &back, {"cannot open (%s)", "read error"}, &error));
    EXPECT_EQ(error, absent + ": cannot open (No such file or directory)");
    EXPECT_EQ(back, bytes);  // untouched when the file cannot be opened
    EXPECT_FALSE(kesra::cli::write_whole_file(absent, bytes, {"cannot create", "write failed"}, &error));
    EXPECT_EQ(error, absent + ": cannot create");
}
