#include "testing/simulated_boards.h"

#include <algorithm>
#include <fstream>

#include "platform/loaded_modules.h"

namespace ruzd::testing {

SimulatedBoards::SimulatedBoards() : control_((folder_.path() / "control").string()) {
    boards_environment_.Set("RUZD_VENDOR_DIR", VendorFolder().string());
    boards_environment_.Set("BOARDSIM_CONTROL", (folder_.path() / "control").string());
    boards_environment_.Set("BOARDSIM_JOURNAL", JournalPath().string());
    boards_environment_.Unset("BOARDSIM_CONFIG");
}

std::filesystem::path SimulatedBoards::VendorFolder() {
    return RUZD_BOARDSIM_VENDOR_DIR;
}

void SimulatedBoards::UseVendorFolder(const std::filesystem::path& folder) {
    boards_environment_.Set("RUZD_VENDOR_DIR", folder.string());
}

void SimulatedBoards::WriteConfig(const std::string& text) {
    const std::filesystem::path path = folder_.path() / "boards.conf";
    std::ofstream(path, std::ios::trunc) << text;
    boards_environment_.Set("BOARDSIM_CONFIG", path.string());
}

std::vector<std::string> SimulatedBoards::Journal() const {
    std::vector<std::string> lines;
    std::ifstream in(JournalPath());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

size_t SimulatedBoards::CountCalls(const std::string& function) const {
    const std::vector<std::string> lines = Journal();
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
        return line.find(" " + function + "(") != std::string::npos;
    }));
}

std::vector<std::string> SimulatedBoards::CallControlJournal(size_t from) const {
    static const std::vector<std::string> kEventQueries = {
        "cc_GetCRN(",      "cc_GetDNIS(",    "cc_GetANI(",     "cc_CallState(",
        "cc_ResultValue(", "cc_GetSigInfo(", "cc_GetCallInfo("};
    return LibraryJournal("libdtimt ", "cc_", kEventQueries, from);
}

std::vector<std::string> SimulatedBoards::GlobalCallJournal(size_t from) const {
    static const std::vector<std::string> kEventQueries = {"gc_GetMetaEvent(",
                                                           "gc_GetCRN(",
                                                           "gc_GetDNIS(",
                                                           "gc_GetANI(",
                                                           "gc_GetCallState(",
                                                           "gc_ResultValue(",
                                                           "gc_GetSigInfo(",
                                                           "gc_GetCallInfo(",
                                                           "gc_AlarmSourceObjectID(",
                                                           "gc_AlarmNumber(",
                                                           "gc_GetAlarmConfiguration(",
                                                           "gc_ResultInfo("};
    return LibraryJournal("libgc ", "gc_", kEventQueries, from);
}

std::vector<std::string> SimulatedBoards::LibraryJournal(const std::string& library,
                                                         const std::string& prefix,
                                                         const std::vector<std::string>& queries,
                                                         size_t from) const {
    std::vector<std::string> calls;
    for (const std::string& entry : Journal()) {
        if (!entry.starts_with(library + prefix)) {
            continue;
        }
        const std::string call = entry.substr(library.size());
        if (std::none_of(queries.begin(), queries.end(),
                         [&](const std::string& query) { return call.starts_with(query); })) {
            calls.push_back(call);
        }
    }
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(std::min(from, calls.size())));
    return calls;
}

bool SimulatedBoards::CoreLoaded() {
    return platform::IsModuleLoaded(VendorFolder() / "libboardsim_core.so");
}

}  // namespace ruzd::testing
