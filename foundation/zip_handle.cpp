#include "foundation/zip_handle.h"

#include "foundation/unzip_reader.h"
#include "foundation/zip_result.h"
#include "foundation/zip_writer.h"

namespace ruzd::foundation {

ZipHandle::ZipHandle(std::unique_ptr<UnzipReader> reader)
    : kind(kReading), reader(std::move(reader)) {}

ZipHandle::ZipHandle(std::unique_ptr<ZipWriter> writer)
    : kind(kWriting), writer(std::move(writer)) {}

ZipHandle::~ZipHandle() = default;

int32_t CheckZipHandle(const ZipHandle* handle, int32_t side) {
    if (handle == nullptr) {
        return kZipFaultyArguments;
    }
    return handle->kind == side ? kZipSuccess : kZipMixedSides;
}

}  // namespace ruzd::foundation
