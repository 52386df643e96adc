#pragma once

// Reading zip archives (PKWARE's layout; entries stored or deflated) from a file, from behind an
// open file handle or from memory. Every call returns an eZipResult code (foundation/
// zip_result.h) and keeps it as the calling thread's latest reading result.
//
// Sources and targets come with their kind (foundation/zip_handle.h): a file handle (kind 1,
// passed through ZipHandleArgument), a Windows path (kind 2, UTF-8) or a memory block with its
// length (kind 3). Entry names are given as UTF-8: an archive keeps a name in UTF-8 when the
// entry's UTF-8 flag (general-purpose bit 11) says so, else in Windows-1252.
//
// Archives in the 64-bit format (ZIP64: its end records, or an entry with its extra field) are
// refused at open with kZipUnsupportedZip64.

#include <cstdint>
#include <string_view>

#include "foundation/zip_handle.h"
#include "foundation/zip_result.h"

namespace ruzd::foundation {

// The archive's handle, or null (UnzipResultText(1, ...) says why; a source that is there but
// holds no archive gives -103, one that could not be read -1). A file handle must be a disk
// file; the archive starts at its position now. A memory block is read in place and must stay
// while the handle lives. Data in front of the archive (a loader) is skipped.
ZipHandle* UnzipOpen(const void* source, uint32_t length, int32_t kind);

// The record of entry `index`; -1 gives the number of entries in the record's index.
int32_t UnzipGetItem(ZipHandle* handle, int32_t index, ZipEntry* entry);

// The entry named `name` (at most 255 characters), compared exactly or, with `ignore_case`,
// with ASCII letters in either case: its index and, when `entry` is not null, its record. Not
// found: kZipNotFound, the index -1 and a record with index -1.
int32_t UnzipFindItem(ZipHandle* handle, std::string_view name, bool ignore_case, int32_t* index,
                      ZipEntry* entry);

// Extracts entry `index`. Into memory (kind 3) in pieces of at most `length` bytes: kZipMoreData
// while data came, then, once nothing is left, kZipSuccess or kZipCorrupt when the entry's data
// does not match its CRC-32. Into a file named by a Windows path (kind 2): a relative folder in
// the path is first made below the current folder of the open; a folder entry only makes its
// folders below that folder (kZipFaultyArguments, and nothing made, for a name that would leave
// it); a file whose extraction fails (kZipCorrupt for data that does not match its CRC-32 or
// size, kZipWriteFailed) is removed again. Into a caller's handle (kind 1), which stays open.
// A file's times are set from the entry.
int32_t UnzipExtractItem(ZipHandle* handle, int32_t index, const void* target, uint32_t length,
                         int32_t kind);

// Extracts entry `index` into memory as UnzipExtractItem does for kind 3, and sets `delivered`
// to the number of bytes this call put into `target` (0 for every result but kZipMoreData), for
// callers that do not know the entry's true size beforehand.
int32_t UnzipReadItem(ZipHandle* handle, int32_t index, void* target, uint32_t length,
                      uint32_t* delivered);

// Frees the handle.
int32_t UnzipClose(ZipHandle* handle);

// Copies the text of `code` (1: the thread's latest reading result) into `buffer` and returns
// the text's full length.
uint32_t UnzipResultText(int32_t code, char* buffer, uint32_t size);

// True for a null handle and for one of an archive open for reading.
bool IsUnzipHandle(const ZipHandle* handle);

}  // namespace ruzd::foundation
