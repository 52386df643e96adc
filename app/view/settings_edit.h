#pragma once

// What the debug settings dialog edits and how its fields become the application's debug
// settings. The enabled flag is not the dialog's: it keeps the value it has when OK is pressed.

#include <string>
#include <variant>
#include <vector>

#include "app/debug_settings.h"

namespace ruzd::app {

// The entries of the level combo box: entry i stands for trace level i (0 to 9).
std::vector<std::string> TraceLevelChoices();
// The entries of the interval combo box: entry i stands for the debug log's interval code i,
// named as the log names it ("5 min" ... "1 day").
std::vector<std::string> IntervalChoices();

struct SettingsFields {
    int traceLevel = 0;       // selection of the level combo box
    std::string directory;    // as typed
    int fileType = 0;         // selection of the interval combo box
    std::string filesToKeep;  // as typed

    bool operator==(const SettingsFields&) const = default;
};

// The fields the dialog opens with.
SettingsFields FieldsFrom(const DebugSettings& settings);

// `current` with the dialog's four values in it (a backslash appended to the directory when it
// lacks one), or the message to show when a field cannot be taken: then nothing is applied and
// the dialog stays open.
std::variant<DebugSettings, std::string> ApplyFields(DebugSettings current,
                                                     const SettingsFields& fields);

}  // namespace ruzd::app
