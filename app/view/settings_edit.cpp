#include "app/view/settings_edit.h"

#include <charconv>

#include "foundation/debug_interval.h"

namespace ruzd::app {

namespace {
constexpr int kTraceLevels = 10;
}  // namespace

std::vector<std::string> TraceLevelChoices() {
    std::vector<std::string> choices;
    for (int level = 0; level < kTraceLevels; ++level) {
        choices.push_back(std::to_string(level));
    }
    return choices;
}

std::vector<std::string> IntervalChoices() {
    std::vector<std::string> choices;
    for (uint32_t code = 0; code < foundation::kDebugIntervalCount; ++code) {
        choices.push_back(foundation::DebugIntervalAt(code, 0).label);
    }
    return choices;
}

SettingsFields FieldsFrom(const DebugSettings& settings) {
    SettingsFields fields;
    fields.traceLevel = settings.traceLevel;
    fields.directory = settings.directory;
    fields.fileType = static_cast<int>(settings.fileType);
    fields.filesToKeep = std::to_string(settings.maxFilesToKeep);
    return fields;
}

std::variant<DebugSettings, std::string> ApplyFields(DebugSettings current,
                                                     const SettingsFields& fields) {
    uint32_t filesToKeep = 0;
    const char* first = fields.filesToKeep.data();
    const char* last = first + fields.filesToKeep.size();
    const auto [end, error] = std::from_chars(first, last, filesToKeep);
    if (fields.filesToKeep.empty() || error != std::errc() || end != last) {
        return std::string("Please enter a whole number for the debug files to keep.");
    }
    if (fields.traceLevel < 0 || fields.traceLevel >= kTraceLevels) {
        return std::string("Please choose a debug level.");
    }
    if (fields.fileType < 0 ||
        fields.fileType >= static_cast<int>(foundation::kDebugIntervalCount)) {
        return std::string("Please choose how often a new debug file starts.");
    }
    std::string directory = fields.directory;
    if (directory.empty() || directory.back() != '\\') {
        directory += '\\';
    }
    current.directory = directory;
    current.maxFilesToKeep = filesToKeep;
    current.fileType = static_cast<uint32_t>(fields.fileType);
    current.traceLevel = fields.traceLevel;
    return current;
}

}  // namespace ruzd::app
