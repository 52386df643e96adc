#include "boardsim/core/journal.h"

namespace ruzd::boardsim {

Journal::Journal(const char* path) {
    if (path != nullptr && *path != '\0')
        file_ = std::fopen(path, "a");
}

Journal::~Journal() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void Journal::Write(const char* library, const char* function, const std::string& arguments,
                    const std::string& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++sequence_;
    if (file_ == nullptr)
        return;
    std::fprintf(file_, "%llu %s %s(%s) = %s\n", static_cast<unsigned long long>(sequence_),
                 library, function, arguments.c_str(), result.c_str());
    std::fflush(file_);
}

}  // namespace ruzd::boardsim
