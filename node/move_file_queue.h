#pragma once

// The files the node has written for the central server (recordings that went through the file
// cache) and still has to upload to it. Each pending move is tried when it is due and retried
// three seconds after a failure until its retries are spent; a move given up that way leaves its
// recording on disk, kept in the queue and never tried again. The queue survives a restart of
// the node: it is kept in a file, one move a line, rewritten as one step when a move is queued
// and at the end of each pass that changed it, and read back, every move due at once, when the
// node starts. A rewrite that fails is tried again at every pass and at the stop, until the file
// holds the queue again; a kept queue that cannot be read is set aside under a name of its own
// and taken in once it reads.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
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
    // The retries of a move given up: its recording is kept, it is tried no more.
    static constexpr int32_t kGivenUp = -1;

    int32_t channelId = 0;
    std::string source;  // the local file
    std::string target;  // the central server's path
    int32_t retriesLeft = 0;
    int64_t nextTry = 0;  // seconds of the node's clock

    bool GivenUp() const { return retriesLeft == kGivenUp; }
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
    // A trouble that lasts is said again after this long at the soonest.
    static constexpr int64_t kSayAgainSeconds = 3600;

    // How one try of a move ended.
    enum class MoveResult {
        kMoved,          // the central server stored the file
        kFailed,         // the central server refused it, or took it not: a retry is spent
        kSourceMissing,  // there was no file to move: a retry is spent
        kNotRead,        // the node could not read its own file: no retry is spent
    };
    // Tries one move, with the reason of a failure in `error`.
    using Mover = std::function<MoveResult(const CMoveFileToCentral& move, std::string& error)>;

    // `windowsPath` keeps the queue; empty for a queue that is not kept.
    explicit MoveFileQueue(std::string windowsPath);

    // Reads the kept queue back (each move due at `now`), after what is queued already, and
    // with it the queues set aside before that read now. A missing file is an empty queue; a
    // file that cannot be read (or is no regular file) is set aside and said, and a new queue
    // is kept in its place. Lines that do not read as moves stay in the file as they were.
    void Load(int64_t now);

    // Why the kept queue may not hold every move of the node: it could not be written since it
    // last changed, or a queue set aside (or one that could not even be set aside) is still
    // unread. Empty when the kept queue holds them all.
    std::string IncompleteReason() const;

    // Appends a move due three seconds from `now`, unless a move of the same source (compared
    // exactly) is queued already; both cases are logged. A move of that source given up is
    // replaced.
    void QueueMoveFile(int32_t channelId, const std::string& source, const std::string& target,
                       int32_t retries, int64_t now);

    // One pass: every due move is tried once, in queue order, the others are passed over, until
    // each queued move was looked at or kPassBudgetMs of the tick went by. A move given up whose
    // recording is gone leaves the queue. A pass asked for while one runs (a wait inside `mover`
    // dispatching the timer again) returns at once.
    void ProcessPass(int64_t now, const Mover& mover);

    // Brings the kept queue up to the one in memory: takes in the set-aside queues that read
    // now, sets aside a kept queue that could not, and writes the queue again when the last
    // write failed or it changed since. For every pass, and the stop.
    void KeepOnDisk(int64_t now);

    size_t Size() const;
    std::vector<CMoveFileToCentral> Snapshot() const;
    // The source of every queued move (given up ones too), and of the move being tried.
    std::set<std::string> Sources() const;

private:
    // When a trouble that lasts was last said.
    struct Notice {
        std::optional<int64_t> said;
        // True when it is to be said now, which then counts as said.
        bool Due(int64_t now);
    };

    // Writes the kept file from the queue and the move being tried; under the lock. False when
    // it could not be written, which is remembered and said.
    bool Save(int64_t now);
    // Reads the queue file `windowsPath`: 0 with the moves it holds that are not queued yet and
    // its other lines added to the queue, or the errno of the failure (ENOENT for a missing one).
    int ReadInto(const std::string& windowsPath, int64_t now);
    // Renames the kept queue, which could not be read, to the first free set-aside name: that
    // name, or none (with the Win32 code of the failure in `error`).
    std::optional<std::string> SetAside(uint32_t& error);
    // The set-aside name numbered `number`: "<queue name>.unread-<number>.<extension>".
    std::string SetAsideName(int number) const;
    // The set-aside queues in the kept queue's folder, by number.
    std::vector<std::string> FindSetAside() const;
    // Reads the set-aside queues and the kept queue left unread, where they can be read now.
    void TakeInUnread(int64_t now);
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
    // Set while the kept file does not hold the queue in memory: it changed since, or its
    // last write failed.
    bool behind_ = false;
    // When the failure to write the kept file was said; none while the last write went well.
    Notice write_notice_;
    // Set while the kept queue could not be read nor set aside: it is then never written over.
    bool kept_unread_ = false;
    // Set-aside queues not read yet, and those taken in, to be removed once the queue that holds
    // their moves is written.
    std::vector<std::string> set_aside_;
    std::vector<std::string> taken_in_;
    Notice unread_notice_;
    // When the failed reads of a source were last said, while they go on.
    std::map<std::string, Notice> read_notices_;
    // The lines of the kept file that are no moves, written back after the moves.
    std::vector<std::string> kept_lines_;
};

}  // namespace ruzd::node
