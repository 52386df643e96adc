#pragma once

// The results of the zip library's calls, their texts, and the latest result of each side
// (reading and writing), which the text operations report for the code 1.

#include <cstdint>

namespace ruzd::foundation {

enum eZipResult : int32_t {
    kZipSuccess = 0,
    kZipLatestResult = 1,  // asks the text operations for the side's latest result
    kZipDuplicateFailed = 0x100,
    kZipCannotOpenFile = 0x200,
    kZipNoMemory = 0x300,
    kZipWriteFailed = 0x400,
    kZipNotFound = 0x500,
    kZipMoreData = 0x600,
    kZipCorrupt = 0x700,
    kZipReadFailed = 0x800,
    kZipUnsupportedZip64 = 0x900,  // the reader refuses an archive that needs the 64-bit format
    kZipFaultyArguments = 0x10000,
    kZipNotMemoryArchive = 0x20000,
    kZipMemorySize = 0x30000,
    kZipPreviousError = 0x40000,
    kZipEnded = 0x50000,
    kZipSizeMismatch = 0x60000,
    kZipPartlyUnzipped = 0x70000,
    kZipMixedSides = 0x80000,
    kZipNotInitialised = 0x1000000,
    kZipUnseekable = 0x2000000,
    kZipMindChanged = 0x4000000,
    kZipFlationFailed = 0x5000000,
    // Codes of the reading layer that an open can end with.
    kUnzipReadError = -1,
    kUnzipBadArchive = -103,
};

// The text of a code: "Success", ..., "unknown zip result code" for any other code.
const char* ZipResultMessage(int32_t code);

// Copies the text of `code` into `buffer`, cut and terminated to fit (nothing for a null buffer
// or a size of 0), and returns the text's full length.
uint32_t CopyZipResultText(int32_t code, char* buffer, uint32_t size);

// The latest result of the calling thread on each side. A thread's results are its own, so that
// the text for code 1 is the one of the caller's own latest call.
int32_t& LatestUnzipResult();
int32_t& LatestZipResult();

}  // namespace ruzd::foundation
