#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ruzd::platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksAndTabsSeparateArguments) {
    EXPECT_EQ(SplitCommandLine("prog a  b\tc"), (Args{"prog", "a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("  prog   a  "), (Args{"prog", "a"}));
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine(" \t "), Args{});
}

TEST(SplitCommandLine, TheProgramNameKnowsOnlyQuotes) {
    EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\x.exe" -a)"),
              (Args{R"(C:\Program Files\x.exe)", "-a"}));
    // Backslashes before the closing quote do not escape it in the program name.
    EXPECT_EQ(SplitCommandLine(R"("C:\Tools\" next)"), (Args{R"(C:\Tools\)", "next"}));
    EXPECT_EQ(SplitCommandLine(R"(C:\a\b.exe x)"), (Args{R"(C:\a\b.exe)", "x"}));
    // The closing quote ends the name even when no blank follows.
    EXPECT_EQ(SplitCommandLine(R"("prog"rest)"), (Args{"prog", "rest"}));
    EXPECT_EQ(SplitCommandLine(R"("unterminated name)"), (Args{"unterminated name"}));
}

TEST(SplitCommandLine, QuotesGroupAndAreDropped) {
    EXPECT_EQ(SplitCommandLine(R"(p "a b" c"d e"f)"), (Args{"p", "a b", "cd ef"}));
    EXPECT_EQ(SplitCommandLine(R"(p "" x)"), (Args{"p", "", "x"}));
    EXPECT_EQ(SplitCommandLine(R"(p "open to the end)"), (Args{"p", "open to the end"}));
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeAQuote) {
    EXPECT_EQ(SplitCommandLine(R"(p a\b a\\b)"), (Args{"p", R"(a\b)", R"(a\\b)"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\"b)"), (Args{"p", R"(a"b)"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\\"b c")"), (Args{"p", R"(a\b c)"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\\\"b)"), (Args{"p", R"(a\"b)"}));
    EXPECT_EQ(SplitCommandLine(R"(p "C:\dir\\" next)"), (Args{"p", R"(C:\dir\)", "next"}));
    EXPECT_EQ(SplitCommandLine(R"(p trailing\)"), (Args{"p", R"(trailing\)"}));
}

TEST(SplitCommandLine, ADoubledQuoteInsideQuotesIsOneQuoteAndEndsTheQuoting) {
    EXPECT_EQ(SplitCommandLine(R"(p "a""b c)"), (Args{"p", R"(a"b)", "c"}));
    EXPECT_EQ(SplitCommandLine(R"(p """a""")"), (Args{"p", R"("a")"}));
    EXPECT_EQ(SplitCommandLine(R"(p a""b)"), (Args{"p", "ab"}));
    EXPECT_EQ(SplitCommandLine(R"(p """")"), (Args{"p", R"(")"}));
}

TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
    const std::vector<Args> cases = {
        {R"(C:\Program Files\x.exe)", "plain", "two words", "", R"(q"uote)", R"(dir\)",
         R"(dir with blank\)", R"(a\\"b)", R"(back\slash)", "tab\there"},
        {"/usr/bin/prog"},
        {"prog", R"(\")", R"(\\)"},
    };
    for (const Args& args : cases) {
        EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args) << JoinCommandLine(args);
    }
    EXPECT_EQ(JoinCommandLine({"/bin/touch", "/tmp/a b"}), R"(/bin/touch "/tmp/a b")");
    EXPECT_EQ(JoinCommandLine({"C:\\My Tools\\x.exe", "-a"}), R"("C:\My Tools\x.exe" -a)");
}

}  // namespace
}  // namespace ruzd::platform
