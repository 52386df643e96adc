#include "foundation/zip_result.h"

#include <cstring>

namespace ruzd::foundation {

const char* ZipResultMessage(int32_t code) {
    switch (code) {
        case kZipSuccess:
            return "Success";
        // The misspelling is the text callers have always seen.
        case kZipDuplicateFailed:
            return "Culdn't duplicate handle";
        case kZipCannotOpenFile:
            return "Couldn't create/open file";
        case kZipNoMemory:
            return "Failed to allocate memory";
        case kZipWriteFailed:
            return "Error writing to file";
        case kZipNotFound:
            return "File not found in the zipfile";
        case kZipMoreData:
            return "Still more data to unzip";
        case kZipCorrupt:
            return "Zipfile is corrupt or not a zipfile";
        case kZipReadFailed:
            return "Error reading file";
        case kZipUnsupportedZip64:
            return "Zipfile uses ZIP64, which is not supported";
        case kZipFaultyArguments:
            return "Caller: faulty arguments";
        case kZipNotMemoryArchive:
            return "Caller: can only get memory of a memory zipfile";
        case kZipMemorySize:
            return "Caller: not enough space allocated for memory zipfile";
        case kZipPreviousError:
            return "Caller: there was a previous error";
        case kZipEnded:
            return "Caller: additions to the zip have already been ended";
        case kZipSizeMismatch:
            return "Zip-bug: the anticipated size turned out wrong";
        case kZipPartlyUnzipped:
            return "Caller: the file had already been partially unzipped";
        case kZipMixedSides:
            return "Caller: mixing creation and opening of zip";
        case kZipNotInitialised:
            return "Zip-bug: internal initialisation not completed";
        case kZipUnseekable:
            return "Zip-bug: trying to seek the unseekable";
        case kZipMindChanged:
            return "Zip-bug: tried to change mind, but not allowed";
        case kZipFlationFailed:
            return "Zip-bug: an internal error during flation";
        default:
            return "unknown zip result code";
    }
}

uint32_t CopyZipResultText(int32_t code, char* buffer, uint32_t size) {
    const char* text = ZipResultMessage(code);
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    if (buffer != nullptr && size > 0) {
        const uint32_t copied = length < size ? length : size - 1;
        std::memcpy(buffer, text, copied);
        buffer[copied] = '\0';
    }
    return length;
}

int32_t& LatestUnzipResult() {
    thread_local int32_t result = kZipSuccess;
    return result;
}

int32_t& LatestZipResult() {
    thread_local int32_t result = kZipSuccess;
    return result;
}

}  // namespace ruzd::foundation
