#pragma once

// The node program's own command line, as its entry reads it before anything else runs: which
// way the process goes (the service framework, the option help, or the application in one of its
// run modes) and the start-up steps that act at once (enter a working folder, wait). The words
// are compared without regard to case; words the entry does not know are left to the
// application object and the service framework.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/app_hooks.h"
#include "platform/message_box.h"

namespace ruzd::app {

// Appends the words of `text` to `result`. Characters of `separators` separate words; a word
// that starts with a character of `quotes` runs to the next such character (or the end) and
// loses both quotes. A quote inside a word is an ordinary character, so only whole words can be
// quoted.
void SplitCommandLine(std::vector<std::string>& result, std::string_view text,
                      std::string_view separators, std::string_view quotes);

// A start-up step: it takes effect before any run mode starts, in command-line order.
struct StartupStep {
    enum class Kind { kEnterFolder, kSleep };

    Kind kind = Kind::kSleep;
    std::string folder;         // kEnterFolder: the folder as given, in Windows form
    uint32_t milliseconds = 0;  // kSleep

    bool operator==(const StartupStep&) const = default;
};

// Which way the process goes.
enum class EntryPath {
    kShowHelp,        // show the entry's own option text and end
    kShowUsage,       // print the usage and end
    kRunService,      // hand the process to the service framework
    kRunApplication,  // run the application object in RunMode()
};

struct EntryOptions {
    bool service = false;         // "-service"
    bool headless = false;        // "-debug"
    bool attachedWindow = false;  // "-gui"
    bool help = false;            // "-help", "-?"
    bool usage = false;           // "--help", "-h"
    std::vector<StartupStep> steps;

    // Help wins over everything, then the usage; "-service" counts only without "-debug" and
    // "-gui".
    EntryPath Path() const;
    // The application's run mode: a window attached to a running service for "-gui" (also
    // together with "-debug"), headless for "-debug", else a window that drives the hardware.
    foundation::RunMode RunMode() const;
};

// Reads the entry's options from the words of the command line (without the program name).
EntryOptions ParseEntryOptions(const std::vector<std::string>& words);
// The same for the command line behind the program name, split at blanks with double quotes.
EntryOptions ParseEntryCommandLine(std::string_view commandLine);

// The wait of "-sleep:" from the text after the colon: a signed decimal number after optional
// white space, read up to the first character that is not a digit. A text that holds no number,
// or a number outside the signed 32-bit range, waits kUnreadableSleepMs; a negative number does
// not wait at all.
inline constexpr uint32_t kUnreadableSleepMs = 15000;
uint32_t ParseSleepMilliseconds(std::string_view text);

// The entry's own option text for "-help" and "-?", as the node has always shown it in a message
// box with the information icon (scripts and people know it by its words): the three ways to
// call the program, each naming it by its file name without folder, then the application's
// options. Its lines end in "\r\n" or "\n" as they always did.
std::string EntryHelpText(std::string_view programFileName);
inline constexpr uint32_t kHelpBoxStyle = platform::kMbOk | platform::kMbIconInformation;
// The same text for a terminal: every line ending in a line feed.
std::string TerminalLines(std::string_view text);
// "-help" and "-?" in any case of letters.
bool IsHelpWord(std::string_view word);
// The help ends as every way but the service's does (kEntryExitCode), so that a script tells it
// by its status.

// The usage for "--help" and "-h", one option a line, naming the program by its file name
// without folder. It is printed on standard output, whatever the mode asked for beside it.
std::string EntryUsageText(std::string_view programFileName);
// The usual "--help" and "-h", as they are written.
bool IsUsageWord(std::string_view word);
// The exit status of the usage.
inline constexpr int kUsageExitCode = 0;

// One sentence for each word of the command line that the run takes no notice of: words that
// neither the entry, the application nor the service framework reads, and, outside the service
// path, the service framework's verbs and switches.
std::vector<std::string> UnusedWordNotes(const std::vector<std::string>& words, EntryPath path);

// The service's installed command line always starts the program with "-service": an empty one
// becomes "-service", one that lacks it (the search heeds case) gets it put in front.
std::string EnsureServiceSwitch(std::string_view serviceCommandLine);

// The exit status of every way except the service's, which returns its action's result, and
// the usage's.
inline constexpr int kEntryExitCode = -1;

// The exit status of the service's way: 0 for success, else the low byte of the action's Win32
// error code, or 1 where that byte is 0 (so that no failure reads as success).
int ServiceExitStatus(uint32_t result);

// The words for the service framework's parser. The help writes the account as bare
// "U:<username>" and "P:<password>", which the parser would pass over: they become the switches
// "-U:" and "-P:", so that the service does not silently run under the installer's account.
std::vector<std::string> ServiceFrameworkWords(const std::vector<std::string>& words);

}  // namespace ruzd::app
