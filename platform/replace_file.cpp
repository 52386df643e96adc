#include "platform/replace_file.h"

#include "platform/file_replacement.h"

namespace ruzd::platform {

uint32_t ReplaceFileDurably(const std::filesystem::path& path, const void* data, size_t size,
                            const std::filesystem::path& scratchFolder) {
    FileReplacement replacement;
    uint32_t error = replacement.Begin(path, scratchFolder);
    if (error == 0) {
        error = replacement.Write(data, size);
    }
    return error == 0 ? replacement.Commit() : error;
}

}  // namespace ruzd::platform
