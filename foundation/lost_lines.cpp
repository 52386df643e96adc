#include "foundation/lost_lines.h"

#include <algorithm>

#include "platform/regular_file.h"
#include "platform/text.h"

namespace ruzd::foundation {

bool LostLines::Lose(std::string_view bytes, int error, uint64_t now_ms) {
    if (count_ == 0) {
        error_ = error;
    }
    const auto line_ends = static_cast<uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    count_ += std::max<uint64_t>(1, line_ends);
    // A disk that is all but full lets a short write in now and then: the operator hears of it
    // once, not at every turn.
    if (alerted_ && now_ms - alerted_at_ms_ < kTellIntervalMs) {
        return false;
    }
    alerted_ = true;
    alerted_at_ms_ = now_ms;
    return true;
}

std::string LostLines::Note(std::string_view what) const {
    return platform::Format("%llu %.*s could not be written (%s) and are lost",
                            static_cast<unsigned long long>(count_), static_cast<int>(what.size()),
                            what.data(), platform::OpenErrorText(error_).c_str());
}

std::string LostLinesAlert(const std::string& path, int error, bool opened) {
    const std::string reason = platform::OpenErrorText(error);
    return opened ? platform::Format(
                        "Lines cannot be written to %s (%s): they are lost until they "
                        "can",
                        path.c_str(), reason.c_str())
                  : platform::Format("%s cannot be opened (%s): its lines are lost", path.c_str(),
                                     reason.c_str());
}

}  // namespace ruzd::foundation
