#include "node/file_map.h"

#include <string_view>
#include <vector>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "platform/regular_file.h"
#include "platform/text.h"

namespace ruzd::node {
namespace {

using foundation::kDebugChannelNone;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The blank-separated fields of a line.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) {
            ++at;
        }
        if (at > start) {
            fields.push_back(line.substr(start, at - start));
        }
    }
    return fields;
}

// The lines of the file as text mode reads them: a Ctrl-Z ends the text, and the end of the
// last line needs no line feed.
std::vector<std::string> TextLines(std::string bytes) {
    const size_t end = bytes.find('\x1a');
    if (end != std::string::npos) {
        bytes.resize(end);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t feed = bytes.find('\n', start);
        if (feed == std::string::npos) {
            feed = bytes.size();
        }
        lines.push_back(bytes.substr(start, feed - start));
        start = feed + 1;
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void FileMap::Clear() {
    std::lock_guard hold(lock_);
    prefixes_.clear();
}

FileMap::Contents FileMap::Read(const std::filesystem::path& file) {
    Contents contents;
    contents.error =
        file.empty() ? platform::kNoSuchFileError : platform::ReadRegularFile(file, contents.bytes);
    return contents;
}

void FileMap::Load(const std::filesystem::path& file, int32_t callId) {
    Take(Read(file), callId);
}

void FileMap::Take(const Contents& contents, int32_t callId) {
    std::lock_guard hold(lock_);
    prefixes_.clear();
    if (contents.error == platform::kNoSuchFileError) {
        ManagerLog(kDebugChannelNone, callId,
                   "WARNING: FileMap.txt not found. No fileconversion used");
        return;
    }
    if (contents.error != 0) {
        ManagerLog(kDebugChannelNone, callId,
                   "ERROR: FILEMAP.TXT could not be read (" +
                       platform::OpenErrorText(contents.error) + "). No fileconversion used");
        return;
    }
    int32_t number = 0;
    for (const std::string& line : TextLines(contents.bytes)) {
        TakeLine(platform::Cp1252ToUtf8(line), ++number, callId);
    }
    ManagerLog(kDebugChannelNone, callId, "Conversion maps initialized");
}

void FileMap::TakeLine(const std::string& line, int32_t number, int32_t callId) {
    const std::string_view content = std::string_view(line).substr(0, line.find('#'));
    const std::vector<std::string_view> fields = Fields(content);
    // Only two fields of sane length make a mapping; a blank or comment-only line is an error
    // line as well.
    if (fields.size() != 2 || fields[0].size() > kMaxPrefixLength ||
        fields[1].size() > kMaxPrefixLength) {
        ManagerLog(kDebugChannelNone, callId, "Error FILEMAP.TXT line " + std::to_string(number));
        return;
    }
    const std::string central = platform::AsciiUpper(fields[0]);
    const std::string local = platform::AsciiUpper(fields[1]);
    prefixes_.emplace(central, local);  // an earlier line of the same prefix stays
    ManagerLog(kDebugChannelNone, callId, "File mapping '" + central + "' --> '" + local + "'");
}

bool FileMap::Map(std::string& path, int32_t callId) const {
    foundation::CDebugFunction trace;
    trace.Enter("FileMapping", callId, kDebugChannelNone, foundation::kDebugNone)
        ->Append(path)
        .EndLine();
    path = platform::AsciiUpper(path);
    bool mapped = false;
    {
        std::lock_guard hold(lock_);
        for (const auto& [central, local] : prefixes_) {
            if (StartsWith(path, central)) {
                path = local + path.substr(central.size());
                mapped = true;
                break;
            }
        }
    }
    trace.SetResultText(path);
    return mapped;
}

void FileMap::Reverse(std::string& path) const {
    path = platform::AsciiUpper(path);
    std::lock_guard hold(lock_);
    for (const auto& [central, local] : prefixes_) {
        if (StartsWith(path, local)) {
            path = central + path.substr(local.size());
            return;
        }
    }
}

std::map<std::string, std::string> FileMap::Entries() const {
    std::lock_guard hold(lock_);
    return prefixes_;
}

}  // namespace ruzd::node
