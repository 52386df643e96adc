#include "node/move_file_queue.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "foundation/operator_alert.h"
#include "foundation/trace.h"
#include "platform/clock.h"
#include "platform/file_replacement.h"
#include "platform/regular_file.h"
#include "platform/replace_file.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::node {
namespace {

using foundation::kTraceCallId;
using foundation::Trace;

namespace fs = std::filesystem;

constexpr char kEmptyPath = 0x08;
// What a set-aside queue's name adds to the queue's own, before its number.
constexpr std::string_view kSetAsideMark = ".unread-";
// Set-aside names tried before setting aside is given up.
constexpr int kMaxSetAside = 1000;
constexpr char kEscapedTab = 0x0C;
constexpr char kEscapedSemicolon = 0x07;

std::string EscapePath(const std::string& path) {
    if (path.empty()) {
        return std::string(1, kEmptyPath);
    }
    std::string text = path;
    for (char& c : text) {
        if (c == '\t') {
            c = kEscapedTab;
        } else if (c == ';') {
            c = kEscapedSemicolon;
        }
    }
    return text;
}

std::string UnescapePath(std::string_view text) {
    if (text == std::string_view(&kEmptyPath, 1)) {
        return {};
    }
    std::string path(text);
    for (char& c : path) {
        if (c == kEscapedTab) {
            c = '\t';
        } else if (c == kEscapedSemicolon) {
            c = ';';
        }
    }
    return path;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

std::optional<int32_t> ParseInt(std::string_view text) {
    try {
        size_t used = 0;
        const long value = std::stol(std::string(text), &used);
        if (used != text.size() || value < INT32_MIN || value > INT32_MAX) {
            return std::nullopt;
        }
        return static_cast<int32_t>(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

// --- CMoveFileToCentral ---

bool CMoveFileToCentral::RetryLater(int64_t now) {
    if (retriesLeft < 1) {
        return false;
    }
    --retriesLeft;
    nextTry = now + kRetryDelaySeconds;
    return true;
}

std::string CMoveFileToCentral::DisplayText() const {
    return platform::Format("'%s' to '%s', Retries = %d", source.c_str(), target.c_str(),
                            retriesLeft);
}

std::string CMoveFileToCentral::LineText() const {
    return platform::Format("%s\t%s\t%i", EscapePath(source).c_str(), EscapePath(target).c_str(),
                            retriesLeft) +
           platform::Format("\t%ld", static_cast<long>(channelId));
}

std::optional<CMoveFileToCentral> CMoveFileToCentral::FromLineText(std::string_view line,
                                                                   int64_t now) {
    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != 4 || fields[0].empty() || fields[1].empty()) {
        return std::nullopt;
    }
    const std::optional<int32_t> retries = ParseInt(fields[2]);
    const std::optional<int32_t> channel = ParseInt(fields[3]);
    if (!retries || !channel) {
        return std::nullopt;
    }
    return CMoveFileToCentral{*channel, UnescapePath(fields[0]), UnescapePath(fields[1]),
                              std::max(*retries, kGivenUp), now};
}

// --- MoveFileQueue ---

bool MoveFileQueue::Notice::Due(int64_t now) {
    if (said && now >= *said && now - *said < kSayAgainSeconds) {
        return false;
    }
    said = now;
    return true;
}

MoveFileQueue::MoveFileQueue(std::string windowsPath) : path_(std::move(windowsPath)) {}

void MoveFileQueue::Load(int64_t now) {
    if (path_.empty()) {
        return;
    }
    std::lock_guard hold(lock_);
    const int error = ReadInto(path_, now);
    if (error != 0 && error != platform::kNoSuchFileError) {
        // Written over, the moves it holds would be lost, and the night's clean-up would then
        // delete their recordings: it goes aside, for its moves to be taken in once it reads,
        // and the queue is kept anew in its place.
        uint32_t asideError = 0;
        if (const std::optional<std::string> aside = SetAside(asideError)) {
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR the queue in %s could not be read (%s): it is set aside as "
                  "%s, whose moves are taken in once it can be read, and the queue is kept anew",
                  path_.c_str(), platform::OpenErrorText(error).c_str(), aside->c_str());
        } else {
            kept_unread_ = true;
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR the queue in %s could not be read (%s) nor set aside (%s): "
                  "it is left as it is, and the moves queued from now on are kept in memory only "
                  "until it can be",
                  path_.c_str(), platform::OpenErrorText(error).c_str(),
                  platform::WinErrorText(asideError).c_str());
        }
    }
    if (kept_unread_) {
        // Said just now: the next word on it is due in an hour.
        unread_notice_.said = now;
    }
    for (const std::string& aside : FindSetAside()) {
        if (std::find(set_aside_.begin(), set_aside_.end(), aside) == set_aside_.end()) {
            set_aside_.push_back(aside);
        }
    }
    KeepOnDisk(now);
}

int MoveFileQueue::ReadInto(const std::string& windowsPath, int64_t now) {
    std::string content;
    const int error = platform::ReadRegularFile(platform::MapWindowsPath(windowsPath), content);
    if (error != 0) {
        return error;
    }
    const size_t keptBefore = kept_lines_.size();
    // A queue of tens of thousands of moves is read in one go at the start: each line is looked
    // up, not compared with every move before it.
    std::unordered_set<std::string> queued;
    queued.reserve(moves_.size() + 1);
    for (const CMoveFileToCentral& move : moves_) {
        queued.insert(move.source);
    }
    if (trying_) {
        queued.insert(trying_->source);
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::optional<CMoveFileToCentral> move =
            CMoveFileToCentral::FromLineText(platform::Cp1252ToUtf8(line), now);
        if (!move) {
            // Kept in the file as it stands: it may be a move that someone can still read.
            const auto earlier = kept_lines_.begin() + static_cast<std::ptrdiff_t>(keptBefore);
            if (std::find(kept_lines_.begin(), earlier, line) == earlier) {
                Trace(kTraceCallId, 0, "Moving file: queue line not understood, kept as it is: %s",
                      line.c_str());
                kept_lines_.push_back(std::move(line));
            }
            continue;
        }
        if (!queued.insert(move->source).second) {
            continue;
        }
        Trace(kTraceCallId, move->channelId, "Moving file: pending from before: %s",
              move->DisplayText().c_str());
        moves_.push_back(std::move(*move));
    }
    return 0;
}

std::string MoveFileQueue::SetAsideName(int number) const {
    const size_t name = path_.find_last_of("\\/:");
    const size_t dot = path_.rfind('.');
    const size_t stem =
        dot != std::string::npos && (name == std::string::npos || dot > name) ? dot : path_.size();
    return path_.substr(0, stem) + std::string(kSetAsideMark) + std::to_string(number) +
           path_.substr(stem);
}

std::optional<std::string> MoveFileQueue::SetAside(uint32_t& error) {
    const fs::path kept = platform::MapWindowsPath(path_);
    for (int number = 1; number <= kMaxSetAside; ++number) {
        const std::string aside = SetAsideName(number);
        error = platform::RenameFileDurably(kept, platform::MapWindowsPath(aside));
        if (error == 0) {
            return aside;
        }
        if (error != platform::kErrorFileExists) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::vector<std::string> MoveFileQueue::FindSetAside() const {
    const fs::path kept = platform::MapWindowsPath(path_);
    const std::string stem = kept.stem().string() + std::string(kSetAsideMark);
    const std::string extension = kept.extension().string();
    std::map<int, std::string> found;
    std::error_code error;
    for (auto it = fs::directory_iterator(kept.parent_path(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= stem.size() + extension.size() ||
            name.compare(0, stem.size(), stem) != 0 ||
            name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
            continue;
        }
        const std::string digits =
            name.substr(stem.size(), name.size() - stem.size() - extension.size());
        // Numbered as SetAsideName numbers them, from 1 to kMaxSetAside.
        if (digits.empty() || digits.size() > 4 || digits[0] == '0' ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(digits) > kMaxSetAside) {
            continue;
        }
        const int number = std::stoi(digits);
        found.emplace(number, SetAsideName(number));
    }
    std::vector<std::string> names;
    for (auto& [number, name] : found) {
        names.push_back(std::move(name));
    }
    return names;
}

void MoveFileQueue::TakeInUnread(int64_t now) {
    std::string unreadable;
    if (kept_unread_) {
        const int error = ReadInto(path_, now);
        uint32_t asideError = 0;
        if (error == 0 || error == platform::kNoSuchFileError) {
            kept_unread_ = false;
            behind_ = true;
            Trace(kTraceCallId, 0, "Moving file: the queue in %s reads now: its moves are taken in",
                  path_.c_str());
        } else if (const std::optional<std::string> aside = SetAside(asideError)) {
            kept_unread_ = false;
            behind_ = true;
            set_aside_.push_back(*aside);
            Trace(kTraceCallId, 0,
                  "Moving file: the queue in %s, which could not be read (%s), is set aside as %s "
                  "now, and the queue is kept anew",
                  path_.c_str(), platform::OpenErrorText(error).c_str(), aside->c_str());
        } else {
            unreadable = platform::Format(
                "the queue in %s could not be read (%s) nor set aside (%s)", path_.c_str(),
                platform::OpenErrorText(error).c_str(), platform::WinErrorText(asideError).c_str());
        }
    }
    for (auto it = set_aside_.begin(); it != set_aside_.end();) {
        const size_t before = moves_.size();
        const int error = ReadInto(*it, now);
        if (error == 0) {
            Trace(kTraceCallId, 0,
                  "Moving file: the queue set aside as %s reads now: %zu moves of it are taken in",
                  it->c_str(), moves_.size() - before);
            behind_ = true;
            taken_in_.push_back(*it);
            it = set_aside_.erase(it);
        } else if (error == platform::kNoSuchFileError) {
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR the queue set aside as %s is gone before it could be read",
                  it->c_str());
            it = set_aside_.erase(it);
        } else {
            unreadable += platform::Format("%sthe queue set aside as %s cannot be read yet (%s)",
                                           unreadable.empty() ? "" : ", ", it->c_str(),
                                           platform::OpenErrorText(error).c_str());
            ++it;
        }
    }
    if (unreadable.empty()) {
        unread_notice_ = {};
    } else if (unread_notice_.Due(now)) {
        Trace(kTraceCallId, 0,
              "Moving file: ERROR %s: it is tried again at every pass, and nothing is removed "
              "from the file cache until its moves are taken in",
              unreadable.c_str());
    }
}

void MoveFileQueue::KeepOnDisk(int64_t now) {
    if (path_.empty()) {
        return;
    }
    std::lock_guard hold(lock_);
    TakeInUnread(now);
    if (behind_) {
        Save(now);
    }
}

std::string MoveFileQueue::IncompleteReason() const {
    std::lock_guard hold(lock_);
    if (kept_unread_) {
        return "the queue in " + path_ + " could not be read";
    }
    if (!set_aside_.empty()) {
        return "the queue set aside as " + set_aside_.front() + " could not be read yet";
    }
    if (behind_) {
        return "the queue in " + path_ + " could not be written since it changed";
    }
    return {};
}

void MoveFileQueue::QueueMoveFile(int32_t channelId, const std::string& source,
                                  const std::string& target, int32_t retries, int64_t now) {
    std::lock_guard hold(lock_);
    CMoveFileToCentral move{channelId, source, target, retries,
                            now + CMoveFileToCentral::kRetryDelaySeconds};
    for (CMoveFileToCentral& queued : moves_) {
        if (queued.source != source) {
            continue;
        }
        if (!queued.GivenUp()) {
            Trace(kTraceCallId, channelId, "File allready in queue: %s",
                  queued.DisplayText().c_str());
            return;
        }
        // A new recording in the place of one given up: it is moved afresh.
        Trace(kTraceCallId, channelId, "Adding file to be moved, in the place of one given up: %s",
              move.DisplayText().c_str());
        queued = std::move(move);
        behind_ = true;
        Save(now);
        return;
    }
    Trace(kTraceCallId, channelId, "Adding file to be moved: %s", move.DisplayText().c_str());
    moves_.push_back(std::move(move));
    behind_ = true;
    Save(now);
}

void MoveFileQueue::ProcessPass(int64_t now, const Mover& mover) {
    size_t count = 0;
    {
        std::lock_guard hold(lock_);
        if (pass_running_) {
            return;
        }
        pass_running_ = true;
        count = moves_.size();
    }
    // The kept file is rewritten once, as the pass ends: one rewrite a record would write the
    // whole queue again for each record it passes over. A node that ends during the pass tries
    // the moves of the pass again, which the central server takes as before.
    struct PassEnd {
        MoveFileQueue& queue;
        int64_t now;
        ~PassEnd() {
            std::lock_guard hold(queue.lock_);
            queue.pass_running_ = false;
            if (queue.behind_) {
                queue.Save(now);
            }
        }
    } passEnd{*this, now};

    const platform::Clock& clock = platform::CurrentClock();
    const uint64_t start = clock.TickMs();
    for (size_t looked = 0; looked < count && clock.TickMs() - start < kPassBudgetMs; ++looked) {
        CMoveFileToCentral move;
        {
            std::lock_guard hold(lock_);
            if (moves_.empty()) {
                break;
            }
            move = std::move(moves_.front());
            moves_.pop_front();
            trying_ = move;
        }
        if (move.GivenUp()) {
            // Kept for its recording, which the clean-up leaves alone while it is queued; once
            // the recording is gone (the central server removed it), so is the move.
            std::error_code error;
            const fs::path source = platform::MapWindowsPath(move.source);
            if (source.empty() || !fs::exists(source, error)) {
                Trace(kTraceCallId, move.channelId,
                      "Moving file: '%s' is gone: the move given up leaves the queue",
                      move.source.c_str());
                Finish();
            } else {
                PutBack(std::move(move), false);
            }
            continue;
        }
        if (now <= move.nextTry) {
            PutBack(std::move(move), false);
            continue;
        }
        std::string error = "File not found";
        const MoveResult result = mover(move, error);
        if (result != MoveResult::kNotRead) {
            std::lock_guard hold(lock_);
            read_notices_.erase(move.source);
        }
        if (result == MoveResult::kMoved) {
            Trace(kTraceCallId, move.channelId, "Moving file: from '%s' to '%s' succeeded",
                  move.source.c_str(), move.target.c_str());
            Finish();
        } else if (result == MoveResult::kNotRead) {
            // The node's own trouble, which may pass (a disk that recovers, a mount that comes
            // back): it costs the move no try, and is said once an hour while it lasts.
            bool due = false;
            {
                std::lock_guard hold(lock_);
                due = read_notices_[move.source].Due(now);
            }
            if (due) {
                Trace(kTraceCallId, move.channelId,
                      "Moving file: ERROR '%s' could not be read: %s. It stays queued, no try "
                      "spent, and is tried again every %lld seconds while it cannot be read",
                      move.source.c_str(), error.c_str(),
                      static_cast<long long>(CMoveFileToCentral::kRetryDelaySeconds));
            }
            move.nextTry = now + CMoveFileToCentral::kRetryDelaySeconds;
            PutBack(std::move(move), false);
        } else if (move.RetryLater(now)) {
            Trace(kTraceCallId, move.channelId,
                  "Moving file: from '%s' to '%s' failed, error=%s, scheduling new try in 3 "
                  "seconds",
                  move.source.c_str(), move.target.c_str(), error.c_str());
            PutBack(std::move(move), true);
        } else if (result == MoveResult::kSourceMissing) {
            Trace(kTraceCallId, move.channelId,
                  "Moving file: ERROR Could not move File '%s' to '%s', because original file "
                  "doesn't exist.",
                  move.source.c_str(), move.target.c_str());
            Finish();
        } else {
            Trace(kTraceCallId, move.channelId,
                  "Moving file: ERROR Could not move File '%s' to '%s'  Error = %s",
                  move.source.c_str(), move.target.c_str(), error.c_str());
            // The central server did not store it: the recording stays, and so does its move,
            // tried no more, so that the clean-up keeps the recording.
            Trace(kTraceCallId, move.channelId,
                  "Moving file: '%s' is given up and stays in the file cache and in the queue, "
                  "never deleted by the clean-up, until the central server removes it or a new "
                  "recording of that name is moved",
                  move.source.c_str());
            move.retriesLeft = CMoveFileToCentral::kGivenUp;
            PutBack(std::move(move), true);
        }
    }
}

void MoveFileQueue::PutBack(CMoveFileToCentral move, bool changed) {
    std::lock_guard hold(lock_);
    moves_.push_back(std::move(move));
    trying_.reset();
    behind_ = behind_ || changed;
}

void MoveFileQueue::Finish() {
    std::lock_guard hold(lock_);
    trying_.reset();
    behind_ = true;
}

size_t MoveFileQueue::Size() const {
    std::lock_guard hold(lock_);
    return moves_.size();
}

std::vector<CMoveFileToCentral> MoveFileQueue::Snapshot() const {
    std::lock_guard hold(lock_);
    return {moves_.begin(), moves_.end()};
}

std::set<std::string> MoveFileQueue::Sources() const {
    std::lock_guard hold(lock_);
    std::set<std::string> sources;
    for (const CMoveFileToCentral& move : moves_) {
        sources.insert(move.source);
    }
    if (trying_) {
        sources.insert(trying_->source);
    }
    return sources;
}

bool MoveFileQueue::Save(int64_t now) {
    if (path_.empty()) {
        return true;
    }
    behind_ = true;
    const size_t count = moves_.size() + (trying_ ? 1 : 0);
    if (kept_unread_) {
        if (unread_notice_.Due(now)) {
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR the queue in %s was not read and is not written over: %zu "
                  "moves are kept in memory only",
                  path_.c_str(), count);
        }
        return false;
    }
    std::string text;
    const auto add = [&text](const CMoveFileToCentral& move) {
        text += platform::Utf8ToCp1252(move.LineText());
        text += "\r\n";
    };
    if (trying_) {
        add(*trying_);
    }
    for (const CMoveFileToCentral& move : moves_) {
        add(move);
    }
    for (const std::string& line : kept_lines_) {
        text += line + "\r\n";
    }
    const fs::path path = platform::MapWindowsPath(path_);
    if (const uint32_t error =
            platform::ReplaceFileDurably(path, text.data(), text.size(), path.parent_path());
        error != 0) {
        if (write_notice_.Due(now)) {
            const std::string reason = platform::WinErrorText(error);
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR could not keep the queue in %s, error=%u (%s): %zu moves are "
                  "kept in memory only until it can be written, which is tried again at every "
                  "pass and at the stop; nothing is removed from the file cache meanwhile",
                  path_.c_str(), error, reason.c_str(), count);
            // Where the debug log may find no room either.
            std::error_code unknown;
            foundation::AlertOperator(platform::Format(
                "The move queue %s cannot be written (%s): %zu moves to the central server are "
                "kept in memory only until it can",
                fs::absolute(path, unknown).string().c_str(), reason.c_str(), count));
        }
        return false;
    }
    behind_ = false;
    if (write_notice_.said) {
        write_notice_ = {};
        Trace(kTraceCallId, 0, "Moving file: the queue in %s is kept again: %zu moves",
              path_.c_str(), count);
    }
    for (const std::string& aside : taken_in_) {
        std::error_code error;
        if (!fs::remove(platform::MapWindowsPath(aside), error) && error) {
            Trace(kTraceCallId, 0,
                  "Moving file: ERROR the queue set aside as %s is taken in but could not be "
                  "removed (%s): its moves will be taken in again at the next start",
                  aside.c_str(), error.message().c_str());
        } else {
            Trace(kTraceCallId, 0, "Moving file: the queue set aside as %s is taken in and removed",
                  aside.c_str());
        }
    }
    taken_in_.clear();
    return true;
}

}  // namespace ruzd::node
