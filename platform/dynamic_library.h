#pragma once

// Vendor libraries loaded at run time, as the programs load their Windows DLLs by name.
// "name.dll" loads as <vendor folder>/name.so (VendorDir() in platform/root.h), always by
// absolute path and never through the system's search: Debian installs an unrelated libgc.so.1,
// which must never stand in for the vendor's "libgc.dll". Names with a path component are
// refused. Loading uses RTLD_NOW | RTLD_LOCAL, so a missing dependency shows at load time and
// two vendors' libraries never bind each other's symbols.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();  // frees
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library, first freeing one this object holds. On failure the thread's last
    // error is kErrorModNotFound and error_text() says why.
    bool Load(std::string_view dll_name);

    // Loads the file an absolute path names (FindModule in platform/loaded_modules.h, or a
    // test's own module), first freeing one this object holds; failures as Load.
    bool LoadFile(const std::filesystem::path& file);

    // Unloads; true when nothing was loaded or the system let the library go.
    bool Free();

    // Leaves the library loaded for the rest of the process: this object lets go of it.
    void KeepLoaded();

    bool loaded() const { return handle_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }
    const std::string& error_text() const { return error_text_; }

    // The address of an exported symbol; nullptr, last error kErrorProcNotFound and
    // error_text() when the library does not export it (or nothing is loaded).
    void* Symbol(const char* name);

    // Symbol() as a function pointer: Bind<int(int, int)>("Add").
    template <typename Function>
    Function* Bind(const char* name) {
        return reinterpret_cast<Function*>(Symbol(name));
    }

    // The file a name loads from: a ".dll" ending (any case) becomes ".so", a name without it
    // gets ".so" added; an existing file in the vendor folder is found whatever its case.
    // nullopt for an empty name, "." or "..", and names holding '/', '\', ':' or NUL.
    static std::optional<std::filesystem::path> LibraryPath(std::string_view dll_name);

private:
    void* handle_ = nullptr;
    std::filesystem::path path_;
    std::string error_text_;
};

}  // namespace ruzd::platform
