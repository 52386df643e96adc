#include "foundation/unzip.h"

#include <memory>

#include "foundation/unzip_reader.h"

namespace ruzd::foundation {
namespace {

int32_t Keep(int32_t result) {
    LatestUnzipResult() = result;
    return result;
}

int32_t CheckHandle(const ZipHandle* handle) {
    return CheckZipHandle(handle, ZipHandle::kReading);
}

}  // namespace

ZipHandle* UnzipOpen(const void* source, uint32_t length, int32_t kind) {
    auto reader = std::make_unique<UnzipReader>();
    if (Keep(reader->Open(source, length, kind)) != kZipSuccess) {
        return nullptr;
    }
    return new ZipHandle(std::move(reader));
}

int32_t UnzipGetItem(ZipHandle* handle, int32_t index, ZipEntry* entry) {
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess ? checked : handle->reader->GetItem(index, entry));
}

int32_t UnzipFindItem(ZipHandle* handle, std::string_view name, bool ignore_case, int32_t* index,
                      ZipEntry* entry) {
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess ? checked
                                       : handle->reader->FindItem(name, ignore_case, index, entry));
}

int32_t UnzipExtractItem(ZipHandle* handle, int32_t index, const void* target, uint32_t length,
                         int32_t kind) {
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess ? checked
                                       : handle->reader->ExtractItem(index, target, length, kind));
}

int32_t UnzipReadItem(ZipHandle* handle, int32_t index, void* target, uint32_t length,
                      uint32_t* delivered) {
    if (delivered == nullptr) {
        return Keep(kZipFaultyArguments);
    }
    *delivered = 0;
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess ? checked
                                       : handle->reader->ExtractItem(index, target, length,
                                                                     kZipKindMemory, delivered));
}

int32_t UnzipClose(ZipHandle* handle) {
    const int32_t checked = CheckHandle(handle);
    if (checked == kZipSuccess) {
        delete handle;
    }
    return Keep(checked);
}

uint32_t UnzipResultText(int32_t code, char* buffer, uint32_t size) {
    return CopyZipResultText(code == kZipLatestResult ? LatestUnzipResult() : code, buffer, size);
}

bool IsUnzipHandle(const ZipHandle* handle) {
    return handle == nullptr || handle->kind == ZipHandle::kReading;
}

}  // namespace ruzd::foundation
