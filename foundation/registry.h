#pragma once

// Settings of one section of the node, the key HKEY_LOCAL_MACHINE\Software\Ruzd\<section>. The
// key is opened, and created when missing, for all access for the lifetime of the object; when
// that fails (a user without the rights of an administrator or of the service account) every
// operation returns false, and the callers, who write a setting's default back when reading it
// fails, simply run on their defaults.
//
// No operation throws or logs; an output is written only on success, and a write that fails
// says why (WriteProblem) for the caller to log. Each object belongs to one thread; several
// objects for the same section may exist at once.
//
// A value of a type its reads refuse (a port written as "9100", a string) is the user's line:
// the callers run on their default, and the write of that default fails rather than replace
// the line (the start-up check of registry_check.h tells the user). What a user asks for, as a
// window's settings, replaces the value whatever its type (the Replace writes).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace ruzd::foundation {

// The two kinds of value the program reads.
enum class RegistryValueKind {
    kDword,  // a number: any value of four bytes or fewer that is not text
    kText,   // a string, an expandable string or a multi-string
};

// Whether a value of that type and size reads as the kind.
bool IsOfKind(RegistryValueKind kind, uint32_t type, size_t size);

// Hears of every write that failed, but for one that kept a user's line of another type (which
// the start-up check of the registry tells): the value's name, the value as text and why. The
// program installs it once, before its first write; without one the callers' results alone
// tell.
using RegistryWriteFailureReporter = void (*)(std::string_view name, std::string_view value,
                                              const std::string& problem);
void SetRegistryWriteFailureReporter(RegistryWriteFailureReporter reporter);

class CRegistry {
public:
    // A null section opens "Software\Ruzd\Default".
    explicit CRegistry(const char* section);
    virtual ~CRegistry() = default;
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Copies the value, whatever its type, into the caller's buffer; false when it is missing or
    // does not fit.
    bool ReadRaw(std::string_view name, void* data, uint32_t sizeInBytes);

    // A REG_SZ, REG_EXPAND_SZ (not expanded) or REG_MULTI_SZ value, up to its first null: a
    // multi-string gives its first string. False for an empty value or another type.
    bool ReadString(std::string_view name, std::string& value);

    // The value's bytes into a 4-byte number, whatever its type but text; a longer value fails.
    // A shorter one fills the low bytes and leaves the rest 0. Text fails whatever its length:
    // "1" is no port 49.
    bool ReadDword(std::string_view name, uint32_t* value);

    // REG_SZ: the text and its terminating null. Fails on a value of the name that is no text.
    bool WriteString(std::string_view name, std::string_view value);
    // Fails on a value of the name that does not read as a dword.
    bool WriteDword(std::string_view name, uint32_t value);
    // The same writes over a value of the name of any type.
    bool ReplaceString(std::string_view name, std::string_view value);
    bool ReplaceDword(std::string_view name, uint32_t value);

    // Why the last write failed, as a phrase naming the file or the value kept and the reason;
    // "" after one that succeeded.
    const std::string& WriteProblem() const { return write_problem_; }
    // Whether the last write failed for keeping a value of another type.
    bool WriteKeptOtherKind() const { return kept_other_kind_; }

    // Deletes a sub-key of the section (one without sub-keys of its own).
    bool DeleteKey(std::string_view subkey);

    // The value at `index`: its name and, when `data` is given, its bytes, with *dataLength the
    // buffer's size on the way in and the value's size on the way out (also when the buffer is
    // too small, which fails). False past the last value, when the key is not open, or for a
    // buffer given without its length.
    bool EnumValue(uint32_t index, std::string* name, void* data, uint32_t* dataLength);

    bool IsOpen() const { return key_.IsOpen(); }

private:
    // A write that keeps a value of the name that is not of `kind`.
    bool KeepsOtherKind(std::string_view name, RegistryValueKind kind);
    // `shown` is the value as a failure's report names it.
    bool SetValue(std::string_view name, uint32_t type, const std::string& bytes,
                  std::string_view shown);

    platform::RegistryKey key_;
    std::string write_problem_;
    bool kept_other_kind_ = false;
    // Why the section could not be opened for writing.
    std::string closed_problem_;
};

}  // namespace ruzd::foundation
