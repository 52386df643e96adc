#pragma once

// PDLL: a vendor library loaded by file name at run time, with one function pointer per
// export bound by name in the derived tables. A library that is missing, or that lacks some
// exports, never stops the node: the table just reports what it found.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/dynamic_library.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

class PDLL {
public:
    PDLL() = default;
    PDLL(const PDLL&) = delete;
    PDLL& operator=(const PDLL&) = delete;

    // Counts one more user; only the first one loads the library by its stored name. The
    // argument is not looked at. False for every later call and without a name.
    virtual bool Load(uint16_t unused = 0);
    // Frees the library whatever the count.
    virtual ~PDLL();

    // Sets the name when one is given, then loads the library by the stored name; the count
    // is left alone.
    void LoadFrom(const char* file_name);
    // Refused (false) while the library is loaded; nullptr clears the name.
    bool SetName(const char* file_name);
    // One user less; at none left the library is freed and the name dropped.
    void Release();

    bool IsLoaded() const { return module_.loaded(); }
    bool AllFunctionsLoaded() const { return error_ == 0; }
    std::string GetName() const { return name_.value_or(std::string()); }
    uint32_t GetLoadCount() const { return load_count_; }

protected:
    // The address of an export, nullptr when it is missing or nothing is loaded.
    void* FindExport(const char* name);

    // An export a table needs: a missing one is logged and marks the table incomplete.
    template <typename Function>
    void BindExport(Function*& member, const char* name) {
        if (!BindQuietly(member, name))
            VendorTrace(0, 0, "%s not loaded", name);
    }
    // The same without the log line.
    template <typename Function>
    void BindExportSilently(Function*& member, const char* name) {
        BindQuietly(member, name);
    }
    // One copy of an export that is bound twice with different signatures.
    template <typename Function>
    void BindTwin(Function*& member, const char* name, int32_t copy) {
        if (!BindQuietly(member, name))
            VendorTrace(0, 0, "%s %d not loaded", name, copy);
    }
    // A function exported under a newer or an older name: bound only while nothing before it
    // was missing; the older name stands in for a missing newer one.
    template <typename Function>
    void BindPair(Function*& newer, const char* newer_name, Function*& older,
                  const char* older_name) {
        if (error_ != 0)
            return;
        BindExport(newer, newer_name);
        if (newer != nullptr)
            return;
        error_ = 0;
        BindExport(older, older_name);
    }

    bool HasMissingExport() const { return error_ != 0; }

private:
    template <typename Function>
    bool BindQuietly(Function*& member, const char* name) {
        member = reinterpret_cast<Function*>(FindExport(name));
        if (member == nullptr)
            error_ = 1;
        return member != nullptr;
    }

    std::optional<std::string> name_;
    uint32_t load_count_ = 0;
    int32_t error_ = 0;
    platform::DynamicLibrary module_;
};

}  // namespace ruzd::telephony
