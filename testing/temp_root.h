#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ruzd::testing {

// All the bytes of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Points RUZD_ROOT at a fresh, empty folder for the lifetime of the object, so that a test's
// registry, named mutexes and other machine-wide state never leak into another test, and makes
// the service manager the local one (RUZD_SERVICE_MANAGER=local), so that no test reaches the
// machine's systemd. The previous values are restored and the folder removed on destruction.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::optional<std::string> previous_;
    std::optional<std::string> previous_manager_;
};

// A fresh, empty temporary folder removed on destruction.
class TempDir {
public:
    TempDir();
    // One inside `parent` (a file system of the test's choice) rather than the temporary folder.
    explicit TempDir(const std::filesystem::path& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A fresh temporary folder that is the process's current folder while the object lives, for
// code that works relative to its current folder.
class TempWorkFolder {
public:
    TempWorkFolder();
    ~TempWorkFolder();
    TempWorkFolder(const TempWorkFolder&) = delete;
    TempWorkFolder& operator=(const TempWorkFolder&) = delete;

    const std::filesystem::path& path() const { return folder_.path(); }

private:
    std::filesystem::path previous_;
    TempDir folder_;
};

}  // namespace ruzd::testing
