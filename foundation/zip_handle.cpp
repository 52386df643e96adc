#include "foundation/zip_handle.h"

#include "foundation/unzip_reader.h"
#include "foundation/zip_writer.h"

namespace ruzd::foundation {

ZipHandle::ZipHandle(std::unique_ptr<UnzipReader> reader)
    : kind(kReading), reader(std::move(reader)) {}

ZipHandle::ZipHandle(std::unique_ptr<ZipWriter> writer)
    : kind(kWriting), writer(std::move(writer)) {}

ZipHandle::~ZipHandle() = default;

}  // namespace ruzd::foundation
