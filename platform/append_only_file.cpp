#include "platform/append_only_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/write_whole.h"

namespace ruzd::platform {

AppendOnlyFile::~AppendOnlyFile() {
    Close();
}

bool AppendOnlyFile::Open(const std::filesystem::path& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

void AppendOnlyFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void AppendOnlyFile::WriteAll(std::string_view bytes) {
    if (fd_ < 0) {
        return;
    }
    WriteWhole(fd_, bytes.data(), bytes.size());
}

}  // namespace ruzd::platform
