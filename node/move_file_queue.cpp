#include "node/move_file_queue.h"

#include <filesystem>
#include <utility>

#include "foundation/trace.h"
#include "platform/clock.h"
#include "platform/regular_file.h"
#include "platform/replace_file.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::node {
namespace {

using foundation::kTraceCallId;
using foundation::Trace;

constexpr char kEmptyPath = 0x08;
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
    return CMoveFileToCentral{*channel, UnescapePath(fields[0]), UnescapePath(fields[1]), *retries,
                              now};
}

// --- MoveFileQueue ---

MoveFileQueue::MoveFileQueue(std::string windowsPath) : path_(std::move(windowsPath)) {}

void MoveFileQueue::Load(int64_t now) {
    if (path_.empty()) {
        return;
    }
    std::string content;
    const int error = platform::ReadRegularFile(platform::MapWindowsPath(path_), content);
    std::lock_guard hold(lock_);
    if (error == platform::kNoSuchFileError) {
        return;
    }
    if (error != 0) {
        // Written over, the moves it holds would be lost, and the night's clean-up would then
        // delete their recordings: the file stays as it is for someone to look at.
        unread_ = true;
        Trace(kTraceCallId, 0,
              "Moving file: ERROR the queue in %s could not be read (%s): it is left as it is, "
              "and the moves queued from now on are kept in memory only",
              path_.c_str(), platform::OpenErrorText(error).c_str());
        return;
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
            Trace(kTraceCallId, 0, "Moving file: queue line not understood, kept as it is: %s",
                  line.c_str());
            kept_lines_.push_back(std::move(line));
            continue;
        }
        Trace(kTraceCallId, move->channelId, "Moving file: pending from before: %s",
              move->DisplayText().c_str());
        moves_.push_back(std::move(*move));
    }
}

bool MoveFileQueue::Unread() const {
    std::lock_guard hold(lock_);
    return unread_;
}

void MoveFileQueue::QueueMoveFile(int32_t channelId, const std::string& source,
                                  const std::string& target, int32_t retries, int64_t now) {
    std::lock_guard hold(lock_);
    for (const CMoveFileToCentral& queued : moves_) {
        if (queued.source == source) {
            Trace(kTraceCallId, channelId, "File allready in queue: %s",
                  queued.DisplayText().c_str());
            return;
        }
    }
    CMoveFileToCentral move{channelId, source, target, retries,
                            now + CMoveFileToCentral::kRetryDelaySeconds};
    Trace(kTraceCallId, channelId, "Adding file to be moved: %s", move.DisplayText().c_str());
    moves_.push_back(std::move(move));
    Save();
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
        ~PassEnd() {
            std::lock_guard hold(queue.lock_);
            queue.pass_running_ = false;
            if (queue.changed_) {
                queue.changed_ = false;
                queue.Save();
            }
        }
    } passEnd{*this};

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
        if (now <= move.nextTry) {
            PutBack(std::move(move), false);
            continue;
        }
        std::string error = "File not found";
        bool sourceMissing = false;
        if (mover(move, error, sourceMissing)) {
            Trace(kTraceCallId, move.channelId, "Moving file: from '%s' to '%s' succeeded",
                  move.source.c_str(), move.target.c_str());
            Finish();
        } else if (move.RetryLater(now)) {
            Trace(kTraceCallId, move.channelId,
                  "Moving file: from '%s' to '%s' failed, error=%s, scheduling new try in 3 "
                  "seconds",
                  move.source.c_str(), move.target.c_str(), error.c_str());
            PutBack(std::move(move), true);
        } else {
            if (sourceMissing) {
                Trace(kTraceCallId, move.channelId,
                      "Moving file: ERROR Could not move File '%s' to '%s', because original file "
                      "doesn't exist.",
                      move.source.c_str(), move.target.c_str());
            } else {
                Trace(kTraceCallId, move.channelId,
                      "Moving file: ERROR Could not move File '%s' to '%s'  Error = %s",
                      move.source.c_str(), move.target.c_str(), error.c_str());
            }
            Finish();
        }
    }
}

void MoveFileQueue::PutBack(CMoveFileToCentral move, bool changed) {
    std::lock_guard hold(lock_);
    moves_.push_back(std::move(move));
    trying_.reset();
    changed_ = changed_ || changed;
}

void MoveFileQueue::Finish() {
    std::lock_guard hold(lock_);
    trying_.reset();
    changed_ = true;
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

void MoveFileQueue::Save() const {
    if (path_.empty()) {
        return;
    }
    if (unread_) {
        Trace(kTraceCallId, 0,
              "Moving file: ERROR the queue in %s was not read and is not written over: %zu "
              "moves are kept in memory only",
              path_.c_str(), moves_.size() + (trying_ ? 1 : 0));
        return;
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
    const std::filesystem::path path = platform::MapWindowsPath(path_);
    if (const uint32_t error =
            platform::ReplaceFileDurably(path, text.data(), text.size(), path.parent_path());
        error != 0) {
        Trace(kTraceCallId, 0, "Moving file: could not keep the queue in %s, error=%u",
              path_.c_str(), error);
    }
}

}  // namespace ruzd::node
