#pragma once

// The state of an archive being written: its output, the headers of the entries added so far,
// and whether an addition failed (every later one is then refused) or the archive was finished.

#include <cstdint>
#include <string_view>
#include <vector>

#include "foundation/zip_entry_header.h"
#include "foundation/zip_output.h"

namespace ruzd::foundation {

class ZipEntrySource;

class ZipWriter {
public:
    int32_t Create(void* target, uint32_t length, int32_t kind);

    // Adds an entry named `name` (UTF-8; '\' separates folders) from the source of the given
    // kind, deflated at `level` (1 to 8) unless its extension names a compressed file.
    int32_t AddItem(std::string_view name, const void* source, uint32_t length, int32_t kind,
                    int32_t level);
    // Adds `relative` (when not empty) as a folder entry and everything below it in `base`.
    bool AddDirectoryTree(std::string_view base, std::string_view relative);

    // Writes the central directory and the end record, once.
    int32_t Finish();
    // Finishes a memory archive and gives its bytes.
    int32_t GetOutputMemory(const uint8_t** memory, uint32_t* length);

private:
    int32_t Add(std::string_view name, const void* source, uint32_t length, int32_t kind,
                int32_t level);
    int32_t WriteData(ZipEntrySource& source, ZipEntryHeader& header, int32_t level,
                      uint64_t* count);
    int32_t WriteDirectory();

    ZipOutput output_;
    std::vector<ZipEntryHeader> entries_;
    bool failed_ = false;
    bool finished_ = false;
    int32_t finish_result_ = 0;
};

}  // namespace ruzd::foundation
