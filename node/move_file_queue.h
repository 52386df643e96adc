#pragma once

// The files the node has written for the central server (recordings that went through the file
// cache) and still has to upload to it. Each pending move is tried when it is due and retried
// three seconds after a failure until its retries are spent. The queue survives a restart of the
// node: it is kept in a file, one move a line, rewritten as one step when a move is queued and
// at the end of each pass that changed it, and read back, every move due at once, when the
// node starts.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::node {

// One pending move.
struct CMoveFileToCentral {
    static constexpr int64_t kRetryDelaySeconds = 3;

    int32_t channelId = 0;
    std::string source;  // the local file
    std::string target;  // the central server's path
    int32_t retriesLeft = 0;
    int64_t nextTry = 0;  // seconds of the node's clock

    // False when no retry is left; else spends one and makes the move due three seconds on.
    bool RetryLater(int64_t now);
    // "'<source>' to '<target>', Retries = <n>".
    std::string DisplayText() const;
    // Source, target, retries and channel id, tab-separated; in each path a tab becomes 0x0C
    // and ';' becomes 0x07, and an empty path is the single character 0x08.
    std::string LineText() const;
    // The move a line text describes, due at `now`; none when the line is not one.
    static std::optional<CMoveFileToCentral> FromLineText(std::string_view line, int64_t now);
};

class MoveFileQueue {
public:
    static constexpr uint64_t kPassBudgetMs = 3000;

    // Tries one move: true when it succeeded, else false with the reason in `error` and
    // `sourceMissing` set when there was no file to move.
    using Mover = std::function<bool(const CMoveFileToCentral& move, std::string& error,
                                     bool& sourceMissing)>;

    // `windowsPath` keeps the queue; empty for a queue that is not kept.
    explicit MoveFileQueue(std::string windowsPath);

    // Reads the kept queue back (each move due at `now`), after what is queued already. A
    // missing file is an empty queue; a file that cannot be read (or is no regular file) is
    // logged and never written over in this run, the moves queued since being kept in memory
    // only (see Unread). Lines that do not read as moves stay in the file as they were.
    void Load(int64_t now);
    // True when the kept queue could not be read: moves of a former run may be pending that
    // the queue does not know of.
    bool Unread() const;

    // Appends a move due three seconds from `now`, unless a move of the same source (compared
    // exactly) is queued already; both cases are logged.
    void QueueMoveFile(int32_t channelId, const std::string& source, const std::string& target,
                       int32_t retries, int64_t now);

    // One pass: every due move is tried once, in queue order, the others are passed over, until
    // each queued move was looked at or kPassBudgetMs of the tick went by. A pass asked for while
    // one runs (a wait inside `mover` dispatching the timer again) returns at once.
    void ProcessPass(int64_t now, const Mover& mover);

    size_t Size() const;
    std::vector<CMoveFileToCentral> Snapshot() const;
    // The source of every queued move, and of the move being tried.
    std::set<std::string> Sources() const;

private:
    // Rewrites the kept file from the queue and the move being tried; under the lock.
    void Save() const;
    // The move tried (or passed over) goes back to the tail; `changed` when its record did.
    void PutBack(CMoveFileToCentral move, bool changed);
    // The move tried is done with, and leaves the queue.
    void Finish();

    const std::string path_;
    mutable std::recursive_mutex lock_;
    std::deque<CMoveFileToCentral> moves_;
    // The move taken from the head while it is tried: still kept in the file, so that a node
    // that ends meanwhile tries it again.
    std::optional<CMoveFileToCentral> trying_;
    bool pass_running_ = false;
    // Set while a pass changed the queue since the kept file was last written.
    bool changed_ = false;
    // Set when Load could not read the kept file, which is then left alone.
    bool unread_ = false;
    // The lines of the kept file that are no moves, written back after the moves.
    std::vector<std::string> kept_lines_;
};

}  // namespace ruzd::node
