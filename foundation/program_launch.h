#pragma once

// Starting programs for the user, who goes on working with them: nothing waits for them, and
// they are not ended with us. Command lines are split as Windows programs split theirs (see
// platform/command_line.h) and started without a shell, so no character of an argument is
// special to anything but the program; a Windows program we stand in for runs ours (see
// foundation/stand_in_programs.h). Nothing is cut to a length.

#include <memory>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace ruzd::foundation {

// Starts the program (the first argument) in `host_folder` (empty: ours), in a session of its
// own with /dev/null as its standard input. Null when it did not start (last error set).
std::unique_ptr<platform::ChildProcess> StartUserProgram(std::vector<std::string> arguments,
                                                         const std::string& host_folder);

// The command is the template, split as a command line, with the first "%s" in its words
// replaced by the argument as it stands: the argument stays within that one word whatever
// blanks, tabs or quotes it holds (an empty one in a word of its own leaves no word). A template
// without "%s" gets the argument as a word of its own after its words, and without an argument
// no command is formed (false). True when the program was started.
bool LaunchWithTemplate(const std::string& command_template, const std::string& argument);

// Shows the folder that holds the Windows path: "Explorer /e,/select,%s".
bool ShowInExplorer(const std::string& path);

// Starts the command line in the working folder (a Windows path; empty: ours). True when the
// program was started.
bool RunDetachedInJob(const std::string& command_line, const std::string& working_folder);

}  // namespace ruzd::foundation
