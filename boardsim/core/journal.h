#pragma once

// One line per vendor call, written as the call returns:
//   <sequence> <library> <function>(<arguments>) = <result>
// to the file named when the machine started (appended, flushed line by line); nothing when
// no file was named.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace ruzd::boardsim {

class Journal {
public:
    explicit Journal(const char* path);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    void Write(const char* library, const char* function, const std::string& arguments,
               const std::string& result);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    uint64_t sequence_ = 0;
};

}  // namespace ruzd::boardsim
