#pragma once

// Command lines reach the runner as one Windows-style string ("\"C:\Tools\x.exe\" -a \"b c\"");
// a POSIX spawn wants them as argv. The split follows the rules Windows programs parse their own
// command line by, so that callers keep writing command lines the way they always have.

#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

// Splits a command line into its arguments:
// - The program name (first argument) ends at the first blank or tab; when it starts with a
//   quote it runs to the next quote instead, and backslashes in it are plain characters.
// - In the other arguments blanks and tabs separate arguments outside quotes; a quote toggles
//   quoting and is dropped; inside quotes a doubled quote gives one literal quote and ends the
//   quoting; 2n backslashes before a quote give n backslashes, 2n+1 give n backslashes and a
//   literal quote; backslashes not before a quote stay as they are.
// Leading blanks are skipped. An empty or blank command line gives no arguments.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The command line that SplitCommandLine splits back into `arguments`: the program name in
// quotes when it holds a blank or tab, every other argument quoted and escaped only where it
// needs to be. A program name that holds a quote cannot be written; its quotes are dropped.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Whether a program's argument asks for its usage: "-h", "--help", "/?", and "-help" or "-?"
// in any case.
bool IsHelpWord(std::string_view argument);

}  // namespace ruzd::platform
