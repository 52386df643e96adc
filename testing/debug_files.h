#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ruzd::testing {

// The CRLF-ended lines of a file, as the debug log writes them (a last line without its CRLF is
// not yet complete and is left out).
std::vector<std::string> ReadCrlfLines(const std::filesystem::path& file);

// Every line of every file in a debug folder.
std::vector<std::string> DebugLines(const std::filesystem::path& folder);

}  // namespace ruzd::testing
