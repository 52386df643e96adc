#pragma once

// The version record of a program: the fixed numbers, the translations and the string values,
// as a version block holds them. A Linux executable carries no version block, so the record is
// compiled into each program instead: the numbers are the project's version from the build,
// the strings name the running program.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/fixed_file_info.h"

namespace ruzd::foundation {

// A language and code page under which string values are kept.
struct VersionTranslation {
    uint16_t language;
    uint16_t codePage;
};

// One block of string values, named by "%04x%04x" of its language and code page
// ("040904b0"); names and keys are matched without regard to case.
struct VersionStringTable {
    std::string key;
    std::vector<std::pair<std::string, std::string>> values;
};

struct VersionRecord {
    FixedFileInfo fixed{};
    std::vector<VersionTranslation> translations;
    std::vector<VersionStringTable> stringTables;
};

// US English in Unicode, the translation the project's records use.
constexpr VersionTranslation kProjectTranslation{0x0409, 1200};

// The project's record for a program file named `programFileName`: file and product version
// from the build, the debug flag in builds without NDEBUG, and the string values
// "CompanyName" (the project's name), "FileDescription", "InternalName", "ProductName" (the
// program's name without extension), "OriginalFilename" (the file name), "FileVersion" and
// "ProductVersion" ("major.minor.patch.tweak").
VersionRecord ProjectVersionRecord(std::string_view programFileName);

// The record of the running program: the project's record for its executable's file name.
VersionRecord RunningProgramVersionRecord();

}  // namespace ruzd::foundation
