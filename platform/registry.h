#pragma once

// HKEY_LOCAL_MACHINE, kept in the file <root>/registry.reg (see registry_store.h), behind a small
// interface shaped like the Win32 registry calls: every operation returns a Win32 error number
// (0 success, 2 not found, 5 access denied, 87 invalid parameter, 234 more data, 259 no more
// items, 1018 the key was deleted). Names are UTF-8 and compare without regard to ASCII case;
// values are a type and raw bytes, strings in UTF-16LE with their terminating null, as Windows
// keeps them.
//
// A key handle remembers the path of its key and goes to the store on every operation, so it sees
// changes made by other handles and other processes. A process that may not write the store (its
// user cannot write the root folder) opens no key for all access and creates none: it gets access
// denied, as a caller without administrator rights does on Windows, and can still read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegDwordBigEndian = 5;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

enum class RegAccess { kRead, kAllAccess };

enum class RegDisposition : uint32_t { kCreatedNewKey = 1, kOpenedExistingKey = 2 };

class RegistryKey {
public:
    // A closed handle; every operation on it gives kErrorInvalidHandle.
    RegistryKey() = default;
    // The predefined root key.
    static RegistryKey LocalMachine();

    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() = default;

    bool IsOpen() const { return open_; }
    void Close();
    // "Software\Ruzd\Pelwix" as spelled in the store when opened; "" for the root.
    std::string Path() const;
    RegAccess access() const { return access_; }

    // Opens `subkey` ("a\b"; "" for this key again), creating it and its parents when missing.
    // Creating needs this handle opened for all access (the root always qualifies).
    uint32_t CreateSubKey(std::string_view subkey, RegAccess access, RegistryKey* result,
                          RegDisposition* disposition = nullptr) const;
    uint32_t OpenSubKey(std::string_view subkey, RegAccess access, RegistryKey* result) const;
    // Deletes a sub-key that has no sub-keys of its own (one that has is refused with access
    // denied, as Windows does); its values go with it.
    uint32_t DeleteSubKey(std::string_view subkey) const;

    // `type`, `data` and `size` may each be null. With `data` null, *size receives the value's
    // size; with a buffer too small, *size receives the size needed and kErrorMoreData is
    // returned. `data` without `size` is an invalid parameter. "" names the default value.
    uint32_t QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const;
    uint32_t SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size) const;
    uint32_t DeleteValue(std::string_view name) const;

    // The value at `index` in the order values were first set; kErrorNoMoreItems past the last.
    // Name, type and data as QueryValue, the name as stored.
    uint32_t EnumValue(uint32_t index, std::string* name, uint32_t* type, void* data,
                       uint32_t* size) const;
    // The sub-key at `index` in upper-cased name order; kErrorNoMoreItems past the last.
    uint32_t EnumSubKey(uint32_t index, std::string* name) const;

private:
    RegistryKey(std::vector<std::string> path, RegAccess access, bool predefined)
        : open_(true), predefined_(predefined), access_(access), path_(std::move(path)) {}

    uint32_t Resolve(std::string_view subkey, std::vector<std::string>* path) const;

    bool open_ = false;
    bool predefined_ = false;
    RegAccess access_ = RegAccess::kRead;
    std::vector<std::string> path_;
};

}  // namespace ruzd::platform
