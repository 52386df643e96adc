#pragma once

// Reads the watchdog's command line into its options, one argument at a time, as the framework
// hands each argument to the application's reader: a leading '-' or '/' makes it a flag (and is
// dropped), the flag's first character names the option in either case and the rest is its value.
//
// A character that names no option shows the usage text once and zeroes the countdown and the
// wait; from then on every argument is a plain (non-option) argument, and start-up ends without a
// word. Plain arguments are ignored.

#include <string>
#include <string_view>
#include <vector>

#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

// The usage text its message boxes show: its lines joined by line feeds, none at the end.
std::string UsageText();

// The help the program prints when asked for it ("-h", "--help", "-help", "-?" alone), one option
// a line, in the same form.
std::string HelpText();

// Shows the usage text (as a message box with an information icon; headless, a line per option).
void ShowUsage();

class OptionReader {
public:
    explicit OptionReader(WatchdogOptions& options) : options_(options) {}

    // One argument without its '-' or '/'; `is_flag` says whether it had one.
    void ParseParam(std::string_view text, bool is_flag);

private:
    void ParseOption(char letter, std::string_view value);

    WatchdogOptions& options_;
};

// Reads the arguments (the program's name not among them) into `options`.
void ReadCommandLine(const std::vector<std::string>& arguments, WatchdogOptions& options);

// The C library's reading of a decimal number (atoi): leading blanks, a sign, digits up to the
// first non-digit; 0 when there are none.
int32_t ReadNumber(std::string_view text);

}  // namespace ruzd::watchdog
