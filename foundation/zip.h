#pragma once

// Writing zip archives into a file, behind an open file handle or into memory. Every call
// returns an eZipResult code (foundation/zip_result.h) and keeps it as the calling thread's
// latest writing result. Kinds of targets and sources as in foundation/zip_handle.h; a folder
// entry (kind 4) has no source.
//
// An output that cannot seek back (a pipe) gets each entry's CRC-32 and sizes in a data
// descriptor behind its data; one that can has its local headers written again with them.

#include <cstdint>
#include <string_view>

#include "foundation/zip_handle.h"
#include "foundation/zip_result.h"

namespace ruzd::foundation {

// The archive's handle, or null (ZipResultText(1, ...) says why). A memory target needs its
// size; with a null pointer the writer makes a block of that size. A block that is too small is
// replaced by a larger one of the writer's own, which lives until ZipClose.
ZipHandle* ZipCreate(void* target, uint32_t length, int32_t kind);

// Adds an entry named `name` (well-formed UTF-8 of at most 259 characters; '\' becomes '/') from
// a file handle (length: its size when known, else 0), a Windows path, a memory block (length:
// its size) or, for kind 4, nothing. An ASCII name is stored as it is, any other in UTF-8 with
// the UTF-8 flag (general-purpose bit 11). Level 1 to 8 for deflated entries; ".zip", ".gz" and the
// like are stored. After a failed addition every later one gives kZipPreviousError; after the
// archive is finished, kZipEnded.
int32_t ZipAddItem(ZipHandle* handle, std::string_view name, const void* source, uint32_t length,
                   int32_t kind, int32_t level);

// Adds the folder `relative` of `base` (both Windows paths; `relative` may be empty) as a
// folder entry and everything below it, files deflated at level 8: 1 on success, 0 on the
// first failure.
int32_t ZipAddDirectoryTree(ZipHandle* handle, std::string_view base, std::string_view relative);

// Finishes a memory archive (once) and gives its block and length, valid until ZipClose.
int32_t ZipGetOutputMemory(ZipHandle* handle, const uint8_t** memory, uint32_t* length);

// Finishes the archive unless that was done, releases everything and frees the handle.
int32_t ZipClose(ZipHandle* handle);

// Copies the text of `code` (1: the thread's latest writing result) into `buffer` and returns
// the text's full length.
uint32_t ZipResultText(int32_t code, char* buffer, uint32_t size);

// True for a null handle and for one of an archive being written.
bool IsZipWriterHandle(const ZipHandle* handle);

}  // namespace ruzd::foundation
