#pragma once

// Windows programs the code starts by name, and the programs of ours that stand in for them
// here. A command line whose program is one of them runs ours instead, with the same arguments.
//
//   net.exe     ->  ruzd-net       (only "net time")
//   ffmpeg.exe  ->  ffmpeg         (the system's, found on PATH)
//   Explorer    ->  ruzd-explorer  (with or without ".exe"; hands a folder to the desktop)
//
// Ours are looked for in RUZD_TOOLS_DIR when that is set, else beside the running program,
// where the build puts every program.

#include <optional>
#include <string>
#include <string_view>

namespace ruzd::foundation {

inline constexpr const char* kToolsDirVariable = "RUZD_TOOLS_DIR";

// The path of our stand-in when `program` (a name or a path, in Windows or POSIX form, any
// case) names a program we stand in for; none otherwise. The path is given whether or not the
// file exists, so that a missing stand-in fails to start as the program itself would.
std::optional<std::string> StandInProgram(std::string_view program);

}  // namespace ruzd::foundation
