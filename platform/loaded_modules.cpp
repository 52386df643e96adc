#include "platform/loaded_modules.h"

#include <dlfcn.h>
#include <link.h>

#include "platform/dynamic_library.h"
#include "platform/regular_file.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

int CollectModule(dl_phdr_info* info, size_t /*size*/, void* data) {
    auto* modules = static_cast<std::vector<std::string>*>(data);
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
        modules->push_back(info->dlpi_name);
    }
    return 0;
}

// A name the loader has not loaded it opens to compare the file with those it has, and would
// wait there on a FIFO: something there that is no regular file is no loaded module. (A module
// whose file was removed since is still found, by its name.)
bool CannotBeAModule(const std::filesystem::path& file) {
    return CheckRegularFile(file) == kNotARegularFileError;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ignored;
    return a == b || std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

std::vector<std::string> LoadedModules() {
    // The loader's lock is held during the walk, so the modules are only collected there and
    // looked at afterwards.
    std::vector<std::string> modules;
    ::dl_iterate_phdr(&CollectModule, &modules);
    return modules;
}

void* ExportOfLoadedModule(const std::filesystem::path& file, const char* symbol) {
    if (CannotBeAModule(file)) {
        return nullptr;
    }
    void* handle = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) {
        return nullptr;
    }
    void* address = ::dlsym(handle, symbol);
    Dl_info where{};
    if (address != nullptr && (::dladdr(address, &where) == 0 || where.dli_fname == nullptr ||
                               !SameFile(where.dli_fname, file))) {
        address = nullptr;
    }
    ::dlclose(handle);
    return address;
}

bool IsModuleLoaded(const std::filesystem::path& file) {
    if (CannotBeAModule(file)) {
        return false;
    }
    void* handle = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        ::dlclose(handle);
    }
    return handle != nullptr;
}

std::optional<std::filesystem::path> FindModule(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string_view::npos) {
        return std::filesystem::path(name);
    }
    for (const std::string& module : LoadedModules()) {
        if (EqualsIgnoreCase(std::filesystem::path(module).filename().string(), name)) {
            return std::filesystem::path(module);
        }
    }
    std::optional<std::filesystem::path> vendor = DynamicLibrary::LibraryPath(name);
    std::error_code ignored;
    if (vendor && std::filesystem::is_regular_file(*vendor, ignored)) {
        return vendor;
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
