#include "app/command_line.h"

#include "app/service/nt_service.h"
#include "app/service/nt_service_command_line_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ruzd::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::vector<std::string> Split(std::string_view text) {
    std::vector<std::string> words;
    SplitCommandLine(words, text, " ", "\"");
    return words;
}

StartupStep Sleep(uint32_t milliseconds) {
    return {StartupStep::Kind::kSleep, "", milliseconds};
}

StartupStep Enter(std::string folder) {
    return {StartupStep::Kind::kEnterFolder, std::move(folder), 0};
}

TEST(SplitCommandLine, WordsBetweenBlanks) {
    EXPECT_THAT(Split("-debug -d4  -w90 "), ElementsAre("-debug", "-d4", "-w90"));
    EXPECT_THAT(Split(""), IsEmpty());
    EXPECT_THAT(Split("    "), IsEmpty());
}

TEST(SplitCommandLine, QuotedWords) {
    EXPECT_THAT(Split("\"-workingdir:C:\\Program Files\\Ruzd\" -debug"),
                ElementsAre("-workingdir:C:\\Program Files\\Ruzd", "-debug"));
    // An empty pair is an empty word; an unclosed quote runs to the end.
    EXPECT_THAT(Split("a \"\" b"), ElementsAre("a", "", "b"));
    EXPECT_THAT(Split("a \"b c"), ElementsAre("a", "b c"));
    EXPECT_THAT(Split("\""), ElementsAre(""));
}

TEST(SplitCommandLine, QuotesInsideAWordAreOrdinary) {
    // Only whole words can be quoted: a quote inside a word stays, and a quoted word followed
    // directly by more characters ends at its closing quote.
    EXPECT_THAT(Split("-workingdir:\"C:\\a b\""), ElementsAre("-workingdir:\"C:\\a", "b\""));
    EXPECT_THAT(Split("\"ab\"cd e"), ElementsAre("ab", "cd", "e"));
}

TEST(SplitCommandLine, AppendsAndHonoursTheGivenSets) {
    std::vector<std::string> words = {"first"};
    SplitCommandLine(words, "a,b;;'c,d'", ",;", "'");
    EXPECT_THAT(words, ElementsAre("first", "a", "b", "c,d"));
}

TEST(EntryOptions, RunModes) {
    EXPECT_EQ(ParseEntryCommandLine("").RunMode(), foundation::kRunModeWindow);
    EXPECT_EQ(ParseEntryCommandLine("-debug").RunMode(), foundation::kRunModeHeadless);
    EXPECT_EQ(ParseEntryCommandLine("-gui").RunMode(), foundation::kRunModeAttachedWindow);
    // The attached window wins, whatever the order and the case.
    EXPECT_EQ(ParseEntryCommandLine("-gui -debug").RunMode(), foundation::kRunModeAttachedWindow);
    EXPECT_EQ(ParseEntryCommandLine("-DEBUG -Gui").RunMode(), foundation::kRunModeAttachedWindow);
    for (const char* line : {"", "-debug", "-gui", "-gui -debug"}) {
        EXPECT_EQ(ParseEntryCommandLine(line).Path(), EntryPath::kRunApplication) << line;
    }
}

TEST(EntryOptions, ServiceOnlyWithoutAModeWord) {
    EXPECT_EQ(ParseEntryCommandLine("-service").Path(), EntryPath::kRunService);
    EXPECT_EQ(ParseEntryCommandLine("-SERVICE -install").Path(), EntryPath::kRunService);
    const EntryOptions withGui = ParseEntryCommandLine("-service -gui");
    EXPECT_EQ(withGui.Path(), EntryPath::kRunApplication);
    EXPECT_EQ(withGui.RunMode(), foundation::kRunModeAttachedWindow);
    const EntryOptions withDebug = ParseEntryCommandLine("-debug -Service");
    EXPECT_EQ(withDebug.Path(), EntryPath::kRunApplication);
    EXPECT_EQ(withDebug.RunMode(), foundation::kRunModeHeadless);
}

TEST(EntryOptions, HelpWinsOverEverything) {
    for (const char* line : {"-help", "-?", "-HeLp", "-service -help", "-debug -gui -?"}) {
        EXPECT_EQ(ParseEntryCommandLine(line).Path(), EntryPath::kShowHelp) << line;
    }
    // "/?" is the service framework's own, which answers it with its one line.
    EXPECT_EQ(ParseEntryCommandLine("-service /?").Path(), EntryPath::kRunService);
}

TEST(EntryOptions, WholeWordsOnly) {
    const EntryOptions options = ParseEntryCommandLine("-debugger -guix service -help2 -d -w");
    EXPECT_FALSE(options.headless);
    EXPECT_FALSE(options.attachedWindow);
    EXPECT_FALSE(options.service);
    EXPECT_FALSE(options.help);
    EXPECT_THAT(options.steps, IsEmpty());
}

TEST(EntryOptions, StepsKeepTheirOrder) {
    const EntryOptions options =
        ParseEntryCommandLine("-sleep:500 \"-workingdir:C:\\Ruzd Node\" -debug -SLEEP:20");
    EXPECT_THAT(options.steps, ElementsAre(Sleep(500), Enter("C:\\Ruzd Node"), Sleep(20)));
    EXPECT_TRUE(options.headless);
}

TEST(EntryOptions, WorkingFolderKeepsItsCase) {
    EXPECT_THAT(ParseEntryCommandLine("-WorkingDir:C:\\Ruzd\\Pelwix").steps,
                ElementsAre(Enter("C:\\Ruzd\\Pelwix")));
    EXPECT_THAT(ParseEntryCommandLine("-workingdir:").steps, ElementsAre(Enter("")));
}

TEST(EntryOptions, SleepValues) {
    EXPECT_THAT(ParseEntryCommandLine("-sleep:2500").steps, ElementsAre(Sleep(2500)));
    EXPECT_THAT(ParseEntryCommandLine("-sleep:").steps, ElementsAre(Sleep(15000)));
    EXPECT_THAT(ParseEntryCommandLine("-sleep:abc").steps, ElementsAre(Sleep(15000)));
    EXPECT_THAT(ParseEntryCommandLine("-sleep:100ms").steps, ElementsAre(Sleep(100)));
    EXPECT_THAT(ParseEntryCommandLine("-sleep:-1").steps, ElementsAre(Sleep(0)));
}

TEST(ParseSleepMilliseconds, ReadsASignedNumberUpToTheFirstNonDigit) {
    EXPECT_EQ(ParseSleepMilliseconds("0"), 0u);
    EXPECT_EQ(ParseSleepMilliseconds("+42"), 42u);
    EXPECT_EQ(ParseSleepMilliseconds("  \t7"), 7u);
    EXPECT_EQ(ParseSleepMilliseconds("12 34"), 12u);
    EXPECT_EQ(ParseSleepMilliseconds("0009"), 9u);
    EXPECT_EQ(ParseSleepMilliseconds("2147483647"), 2147483647u);
}

TEST(ParseSleepMilliseconds, UnreadableWaits15Seconds) {
    for (const char* text : {"", " ", "+", "-", "x1", "+-1", " + 1", "2147483648",
                             "99999999999999999999", "-2147483649"}) {
        EXPECT_EQ(ParseSleepMilliseconds(text), kUnreadableSleepMs) << text;
    }
}

TEST(ParseSleepMilliseconds, NegativeDoesNotWait) {
    EXPECT_EQ(ParseSleepMilliseconds("-1"), 0u);
    EXPECT_EQ(ParseSleepMilliseconds("-0"), 0u);
    EXPECT_EQ(ParseSleepMilliseconds("-2147483648"), 0u);
}

TEST(EntryUsageText, OneOptionALineAndEveryOneListed) {
    const std::string text = EntryUsageText("Pelwix");
    EXPECT_THAT(text, StartsWith("Usage: Pelwix [mode] [options]\n"));
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    for (const char* option : {"-debug",
                               "-gui",
                               "-service",
                               "--help, -h",
                               "-help, -?",
                               "-workingdir:<folder>",
                               "-sleep:<ms>",
                               "-w<seconds>",
                               "-d ",
                               "-d<level>",
                               "-server:<address>",
                               "-a ",
                               "-ab<id>",
                               "-ac<1|0>",
                               "-as<1|0>",
                               "-install",
                               "U:<username>",
                               "P:<password>",
                               "-delayedstart",
                               "-SCL:<arguments>",
                               "-FAILUREACTION<n>:<a>",
                               "-uninstall, -remove",
                               "-start",
                               "-stop",
                               "-pause, -continue",
                               "-console, -app, -application",
                               "-T:<ms>",
                               "-silent"}) {
        EXPECT_THAT(text, HasSubstr("\n  " + std::string(option))) << option;
    }
    // Lines a terminal shows whole.
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        EXPECT_LE(end - start, 90u) << text.substr(start, end - start);
        start = end + 1;
    }
}

TEST(EntryUsageText, NameIsNotAFormat) {
    EXPECT_THAT(EntryUsageText("odd%sname"), StartsWith("Usage: odd%sname [mode]"));
    EXPECT_THAT(EntryHelpText("odd%sname"), HasSubstr("\r\n     odd%sname  -help | -?"));
}

TEST(EntryHelpText, TheEntrysOwnTextWithTheProgramsNameInItsThreeWaysToCallIt) {
    EXPECT_EQ(EntryHelpText("Pelwix"),
              "Possible command line options:\r\n"
              "\r\n     Pelwix"
              "\r\n     Pelwix  -help | -?"
              "\r\n     Pelwix  -service -install [U:<username> P:<password>] | -uninstall | "
              "-start | -stop"
              "\r\nVesmarin extra parameters are:\n"
              "          -w timeinseconds\n"
              "                    (time to wait before informing central Orvanthella)\n"
              "          -d\n"
              "                    (put debug on by default)\n"
              "          -a\n"
              "                    (Config Ametlco at startup)\n"
              "          -ab\n"
              "                    (put Amtelco Board Id 16 will be used if not specified)\n"
              "          -ac\n"
              "                    (put Amtelco TDM Bus Clock mode : 1 for Master - 0 for Slave\n"
              "                     Config the first Client as Slave the rest as Master\n"
              "                     Master will be used if not specified)\n"
              "          -as\n"
              "                    (put Amtelco TDM Bus Speed : 1 for CTBus - 0 for SCBus\n"
              "                     CTBus will be used if not specified)\n");
    EXPECT_EQ(kHelpBoxStyle, platform::kMbOk | platform::kMbIconInformation);
}

TEST(TerminalLines, EveryLineEndsInOneLineFeed) {
    EXPECT_EQ(TerminalLines("a:\r\n\r\n  b\r\nc\nd\n"), "a:\n\n  b\nc\nd\n");
    EXPECT_EQ(TerminalLines("last line open"), "last line open\n");
    EXPECT_EQ(TerminalLines(""), "");
}

TEST(EntryOptions, TheUsualHelpWordsAskForTheUsage) {
    for (const char* line : {"--help", "-h", "-debug --help", "-gui -h -service"}) {
        const EntryOptions options = ParseEntryCommandLine(line);
        EXPECT_EQ(options.Path(), EntryPath::kShowUsage) << line;
        EXPECT_FALSE(options.help) << line;
    }
    // The entry's own help wins.
    EXPECT_EQ(ParseEntryCommandLine("--help -?").Path(), EntryPath::kShowHelp);
    // Only those two spellings: "-H" and "--HELP" are no help words.
    for (const char* line : {"-H", "--HELP", "-hh", "--help2"}) {
        const EntryOptions options = ParseEntryCommandLine(line);
        EXPECT_FALSE(options.help || options.usage) << line;
    }
}

TEST(UnusedWordNotes, WordsNoReaderKnowsAreNamed) {
    const std::vector<std::string> words = {"--debug", "-debug",    "-x",       "-d4",
                                            "-w9",     "-ab3",      "-sleep:1", "-workingdir:.",
                                            "verbose", "-server:h", "-gui"};
    EXPECT_THAT(UnusedWordNotes(words, EntryPath::kRunApplication),
                ElementsAre("unknown option \"--debug\" (ignored; --help lists the options)",
                            "unknown option \"-x\" (ignored; --help lists the options)",
                            "unknown option \"verbose\" (ignored; --help lists the options)"));
}

TEST(UnusedWordNotes, ServiceWordsCountOnlyOnTheServicePath) {
    const std::vector<std::string> words = {"-service", "-install", "U:me",     "P:secret",
                                            "/stop",    "-T:900",   "-SN:other"};
    EXPECT_THAT(UnusedWordNotes(words, EntryPath::kRunService),
                ElementsAre("unknown option \"-SN:other\" (ignored; --help lists the options)"));
    EXPECT_THAT(UnusedWordNotes({"-install", "-silent"}, EntryPath::kRunApplication),
                ElementsAre("\"-install\" counts only after -service (ignored)",
                            "\"-silent\" counts only after -service (ignored)"));
}

TEST(UnusedWordNotes, EveryServiceWordTheyAcceptIsOneTheFrameworkTakes) {
    // Each word the notes pass over on the service path changes what the framework's parser
    // makes of an empty command line.
    for (const char* word :
         {"-install", "-silent", "-start", "-pause", "-continue", "-stop", "-delayedstart",
          "-remove", "-uninstall", "-console", "-app", "-application", "-T:1", "-SCL:-d", "U:me",
          "P:pw", "-FAILUREACTION1:restart"}) {
        ASSERT_THAT(UnusedWordNotes({word}, EntryPath::kRunService), IsEmpty()) << word;
        CNTService service("test", "test", 0, "");
        CNTServiceCommandLineInfo info;
        service.ParseCommandLine(info, ServiceFrameworkWords({word}));
        const CNTServiceCommandLineInfo untouched;
        EXPECT_TRUE(info.action != untouched.action || info.silent || info.timeoutMs == 1 ||
                    !info.serviceCommandLine.empty() || !info.userName.empty() ||
                    !info.password.empty() || info.delayedStart || !info.failureActions.empty())
            << word;
    }
}

TEST(EnsureServiceSwitch, InstalledServiceAlwaysStartsWithService) {
    EXPECT_EQ(EnsureServiceSwitch(""), "-service");
    EXPECT_EQ(EnsureServiceSwitch("-d -w30"), "-service -d -w30");
    EXPECT_EQ(EnsureServiceSwitch("-d -service"), "-d -service");
    // The search heeds case, as the service framework compares it.
    EXPECT_EQ(EnsureServiceSwitch("-SERVICE"), "-service -SERVICE");
}

}  // namespace
}  // namespace ruzd::app
