#pragma once

// What a log keeps of the lines it could not write (a full disk, a file that cannot be opened):
// how many, and why the first of them was lost, so that the log says both once it can write
// again; and when the operator was last told, so that a log that stays unwritable is told of
// once an hour, not at every line. The log's own lock guards it.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ruzd::foundation {

class LostLines {
public:
    static constexpr uint64_t kTellIntervalMs = 3600 * 1000;

    // Counts the lines of `bytes` (one at least) as lost to `error` (an errno) at `now_ms` (a
    // tick that never goes back): true when the operator is to be told now, at the first loss
    // and then an hour after the last telling at the soonest.
    bool Lose(std::string_view bytes, int error, uint64_t now_ms);

    bool any() const { return count_ != 0; }
    uint64_t count() const { return count_; }
    // Why the first of them was lost (an errno).
    int error() const { return error_; }
    // The text the log writes for them: "<count> <what> could not be written (<reason>) and are
    // lost".
    std::string Note(std::string_view what) const;
    // The log has told of them: counting starts again.
    void Told() { count_ = 0; }
    // The count so far, counting starting again meanwhile, and the count added back: for a
    // line that must come before the note of earlier losses (a new file's banner).
    uint64_t TakeCount() { return std::exchange(count_, 0); }
    void AddCount(uint64_t count) { count_ += count; }

private:
    uint64_t count_ = 0;
    int error_ = 0;
    bool alerted_ = false;
    uint64_t alerted_at_ms_ = 0;
};

// What the operator is told of a log's lines lost to `error` (an errno): the file at `path`
// could not be opened, or (`opened`) could not take them.
std::string LostLinesAlert(const std::string& path, int error, bool opened);

}  // namespace ruzd::foundation
