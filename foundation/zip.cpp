#include "foundation/zip.h"

#include <memory>

#include "foundation/zip_writer.h"

namespace ruzd::foundation {
namespace {

int32_t Keep(int32_t result) {
    LatestZipResult() = result;
    return result;
}

int32_t CheckHandle(const ZipHandle* handle) {
    return CheckZipHandle(handle, ZipHandle::kWriting);
}

}  // namespace

ZipHandle* ZipCreate(void* target, uint32_t length, int32_t kind) {
    auto writer = std::make_unique<ZipWriter>();
    if (Keep(writer->Create(target, length, kind)) != kZipSuccess) {
        return nullptr;
    }
    return new ZipHandle(std::move(writer));
}

int32_t ZipAddItem(ZipHandle* handle, std::string_view name, const void* source, uint32_t length,
                   int32_t kind, int32_t level) {
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess
                    ? checked
                    : handle->writer->AddItem(name, source, length, kind, level));
}

int32_t ZipAddDirectoryTree(ZipHandle* handle, std::string_view base, std::string_view relative) {
    const int32_t checked = CheckHandle(handle);
    if (checked != kZipSuccess) {
        Keep(checked);
        return 0;
    }
    return handle->writer->AddDirectoryTree(base, relative) ? 1 : 0;
}

int32_t ZipGetOutputMemory(ZipHandle* handle, const uint8_t** memory, uint32_t* length) {
    const int32_t checked = CheckHandle(handle);
    return Keep(checked != kZipSuccess ? checked : handle->writer->GetOutputMemory(memory, length));
}

int32_t ZipClose(ZipHandle* handle) {
    const int32_t checked = CheckHandle(handle);
    if (checked != kZipSuccess) {
        return Keep(checked);
    }
    const int32_t finished = handle->writer->Finish();
    delete handle;
    return Keep(finished);
}

uint32_t ZipResultText(int32_t code, char* buffer, uint32_t size) {
    return CopyZipResultText(code == kZipLatestResult ? LatestZipResult() : code, buffer, size);
}

bool IsZipWriterHandle(const ZipHandle* handle) {
    return handle == nullptr || handle->kind == ZipHandle::kWriting;
}

}  // namespace ruzd::foundation
