#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <system_error>
#include <utility>

#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {

DynamicLibrary::~DynamicLibrary() {
    Free();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_text_(std::move(other.error_text_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        error_text_ = std::move(other.error_text_);
    }
    return *this;
}

std::optional<std::filesystem::path> DynamicLibrary::LibraryPath(std::string_view dll_name) {
    if (dll_name.empty() || dll_name == "." || dll_name == ".." ||
        dll_name.find_first_of(std::string_view("/\\:\0", 4)) != std::string_view::npos) {
        return std::nullopt;
    }
    constexpr std::string_view kDll = ".dll";
    if (dll_name.size() > kDll.size() &&
        EqualsIgnoreCase(dll_name.substr(dll_name.size() - kDll.size()), kDll)) {
        dll_name.remove_suffix(kDll.size());
    }
    const std::string file = std::string(dll_name) + ".so";
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::absolute(VendorDir(), ignored);
    return folder / FindNameIgnoringCase(folder, file).value_or(file);
}

bool DynamicLibrary::Load(std::string_view dll_name) {
    Free();
    const std::optional<std::filesystem::path> file = LibraryPath(dll_name);
    if (!file) {
        error_text_ = "refused library name '" + std::string(dll_name) +
                      "': libraries load only by plain name from the vendor folder";
        SetLastError(kErrorModNotFound);
        return false;
    }
    return LoadFile(*file);
}

bool DynamicLibrary::LoadFile(const std::filesystem::path& file) {
    Free();
    if (!file.is_absolute()) {
        error_text_ = "refused library file '" + file.string() + "': not an absolute path";
        SetLastError(kErrorModNotFound);
        return false;
    }
    // The loader opens the file by itself and would wait on a FIFO for a writer.
    if (CheckRegularFile(file) == kNotARegularFileError) {
        error_text_ = "cannot load " + file.string() + ": " + OpenErrorText(kNotARegularFileError);
        SetLastError(kErrorModNotFound);
        return false;
    }
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        error_text_ = reason != nullptr ? reason : "cannot load " + file.string();
        SetLastError(kErrorModNotFound);
        return false;
    }
    path_ = file;
    error_text_.clear();
    return true;
}

void DynamicLibrary::KeepLoaded() {
    handle_ = nullptr;
    path_.clear();
}

bool DynamicLibrary::Free() {
    if (handle_ == nullptr) {
        return true;
    }
    const bool freed = ::dlclose(handle_) == 0;
    handle_ = nullptr;
    path_.clear();
    return freed;
}

void* DynamicLibrary::Symbol(const char* name) {
    if (handle_ == nullptr) {
        error_text_ = std::string("no library loaded to find '") + name + "' in";
        SetLastError(kErrorProcNotFound);
        return nullptr;
    }
    ::dlerror();  // clear a stale message
    void* address = ::dlsym(handle_, name);
    if (address == nullptr) {
        const char* reason = ::dlerror();
        error_text_ = reason != nullptr ? reason : std::string("symbol '") + name + "' is null";
        SetLastError(kErrorProcNotFound);
    }
    return address;
}

}  // namespace ruzd::platform
