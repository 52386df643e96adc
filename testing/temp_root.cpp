#include "testing/temp_root.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace ruzd::testing {

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
namespace {

std::filesystem::path MakeTempDir(
    const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    std::string pattern = (parent / "ruzd-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

}  // namespace

TempRoot::TempRoot() : path_(MakeTempDir()) {
    if (const char* old = getenv("RUZD_ROOT")) {
        previous_ = old;
    }
    setenv("RUZD_ROOT", path_.c_str(), 1);
    if (const char* old = getenv("RUZD_SERVICE_MANAGER")) {
        previous_manager_ = old;
    }
    setenv("RUZD_SERVICE_MANAGER", "local", 1);
}

TempRoot::~TempRoot() {
    if (previous_) {
        setenv("RUZD_ROOT", previous_->c_str(), 1);
    } else {
        unsetenv("RUZD_ROOT");
    }
    if (previous_manager_) {
        setenv("RUZD_SERVICE_MANAGER", previous_manager_->c_str(), 1);
    } else {
        unsetenv("RUZD_SERVICE_MANAGER");
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TempDir::TempDir() : path_(MakeTempDir()) {}

TempDir::TempDir(const std::filesystem::path& parent) : path_(MakeTempDir(parent)) {}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TempWorkFolder::TempWorkFolder() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder_.path());
}

TempWorkFolder::~TempWorkFolder() {
    std::filesystem::current_path(previous_);
}

}  // namespace ruzd::testing
