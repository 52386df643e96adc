#include "testing/loaded_library.h"

#include <dlfcn.h>

namespace ruzd::testing {

bool LibraryLoaded(const std::filesystem::path& file) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

void* LoadedSymbol(const std::filesystem::path& file, const char* symbol) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return nullptr;
    }
    void* address = dlsym(handle, symbol);
    dlclose(handle);
    return address;
}

}  // namespace ruzd::testing
