#pragma once

// The state of an archive open for reading: its entries listed, found and extracted one at a
// time. Every operation returns an eZipResult code.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/zip_handle.h"

namespace ruzd::foundation {

class UnzipInput;

class UnzipReader {
public:
    UnzipReader();
    ~UnzipReader();
    UnzipReader(const UnzipReader&) = delete;
    UnzipReader& operator=(const UnzipReader&) = delete;

    // Finds the archive in the source; on failure also -1 (a read failed) or -103 (no archive).
    int32_t Open(const void* source, uint32_t length, int32_t kind);

    // Index -1 gives the number of entries in the record's index and nothing else.
    int32_t GetItem(int32_t index, ZipEntry* entry);
    int32_t FindItem(std::string_view name, bool ignore_case, int32_t* index, ZipEntry* entry);
    // Memory targets (kind 3) take the entry in pieces: kZipMoreData while data came, then
    // kZipSuccess (or kZipCorrupt when the data does not match its CRC-32) once nothing is left;
    // `delivered` (may be null) counts the bytes this call put there. A file this call created
    // is removed again when the extraction fails.
    int32_t ExtractItem(int32_t index, const void* target, uint32_t length, int32_t kind,
                        uint32_t* delivered = nullptr);

private:
    struct Stored;  // an entry as the central directory has it

    bool GoTo(int32_t index);
    std::optional<Stored> ReadCurrent();
    // Whether an entry uses the 64-bit extension; walks the whole directory.
    bool HasZip64Entry();
    // The local header's extra field of the entry under the cursor.
    int32_t ReadLocalExtra(std::string* extra);
    // Leaves the open entry, wherever its reading stands.
    void CloseOpenEntry();
    bool OpenEntry(int32_t index);
    // What minizip delivered (0 at the end), or its negative code.
    int32_t ReadOpenEntry(void* buffer, uint32_t size);
    // Closes an entry read to its end: kZipCorrupt unless all of its data came and matched
    // its CRC-32.
    int32_t FinishOpenEntry();
    int32_t ExtractToMemory(int32_t index, void* target, uint32_t length, uint32_t* delivered);
    int32_t ExtractToFile(int32_t index, const void* target, int32_t kind);
    int32_t MakeFolderBelowRoot(std::string_view relative);
    int32_t CopyEntry(int32_t index, int32_t handle);

    std::unique_ptr<UnzipInput> input_;
    void* archive_ = nullptr;  // minizip's unzFile
    int32_t entry_count_ = 0;
    int32_t cursor_ = 0;  // the entry minizip's cursor stands on
    int32_t open_entry_ = -1;
    uint64_t open_size_ = 0;
    uint64_t delivered_ = 0;
    std::optional<ZipEntry> cached_;
    std::filesystem::path root_;  // the current folder at open
};

}  // namespace ruzd::foundation
