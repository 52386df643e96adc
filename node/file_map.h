#pragma once

// The file map: path prefixes of the central server and the local prefixes that stand for them
// on this node, read from the text file "FILEMAP.TXT". Each line holds a central prefix and a
// local prefix separated by blanks; "#" starts a comment. Both are kept upper-cased, ordered
// by the central prefix, and the first line for a prefix wins.
//
// A path is mapped by the first prefix in that order that it starts with, which is the
// shortest one matching it: with C:\VOX and C:\VOX\NL, c:\vox\nl\a.vox maps through C:\VOX.
//
// Loading and lookups come from the command thread and the file-handling worker; all of them
// hold the mapping lock throughout.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace ruzd::node {

class FileMap {
public:
    // The longest prefix a line may give; a longer one makes the line an error line.
    static constexpr size_t kMaxPrefixLength = 259;

    // What was read of the file: its bytes, or the errno of the failure.
    struct Contents {
        int error = 0;
        std::string bytes;
    };

    // Reads `file`, touching no map: a FIFO or anything else that is no regular file is refused
    // at once, never waited on.
    static Contents Read(const std::filesystem::path& file);
    // Empties the map, then takes what Read found (log lines with `callId`); a missing file, or
    // one that could not be read, leaves the map empty.
    void Take(const Contents& contents, int32_t callId);
    // Read and Take.
    void Load(const std::filesystem::path& file, int32_t callId);
    void Clear();

    // Rewrites a central path into the local one; true when a prefix matched. The path comes
    // back upper-cased either way.
    bool Map(std::string& path, int32_t callId) const;
    // Rewrites a local path into the central one by the first entry whose local prefix it
    // starts with; upper-cased either way.
    void Reverse(std::string& path) const;

    std::map<std::string, std::string> Entries() const;

private:
    // Takes one line of the file (its 1-based number given) into the map or logs it as an error.
    void TakeLine(const std::string& line, int32_t number, int32_t callId);

    mutable std::recursive_mutex lock_;
    std::map<std::string, std::string> prefixes_;  // central -> local
};

}  // namespace ruzd::node
