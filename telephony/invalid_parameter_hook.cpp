#include "telephony/invalid_parameter_hook.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr const char* kSetterName = "_set_invalid_parameter_handler";

// The run time's wide text as our text; empty for none.
std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr)
        return out;
    for (; *text != L'\0'; ++text) {
        auto code = static_cast<uint32_t>(*text);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

int CollectModule(dl_phdr_info* info, size_t /*size*/, void* data) {
    auto* modules = static_cast<std::vector<std::string>*>(data);
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
        modules->push_back(info->dlpi_name);
    return 0;
}

// The setter `module` itself exports (not one of its dependencies), or null.
SetInvalidParameterHandler FindSetter(const std::string& module) {
    void* handle = dlopen(module.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    void* symbol = dlsym(handle, kSetterName);
    SetInvalidParameterHandler setter = nullptr;
    Dl_info where{};
    if (symbol != nullptr && dladdr(symbol, &where) != 0 && where.dli_fname != nullptr &&
        module == where.dli_fname) {
        setter = reinterpret_cast<SetInvalidParameterHandler>(symbol);
    }
    dlclose(handle);
    return setter;
}

}  // namespace

void NodeInvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                                 const wchar_t* file, unsigned int line, uintptr_t /*reserved*/) {
    VendorTrace(0, 0, "ERROR myInvalidParameterHandler expression %s function %s file %s line %u",
                WideToUtf8(expression).c_str(), WideToUtf8(function).c_str(),
                WideToUtf8(file).c_str(), line);
}

std::vector<std::string> LoadedModules() {
    // The loader's lock is held during the walk, so the modules are only collected there and
    // looked at afterwards.
    std::vector<std::string> modules;
    dl_iterate_phdr(&CollectModule, &modules);
    return modules;
}

int InstallInvalidParameterHandler() {
    int installed = 0;
    for (const std::string& module : LoadedModules()) {
        if (SetInvalidParameterHandler setter = FindSetter(module)) {
            setter(&NodeInvalidParameterHandler);
            ++installed;
        }
    }
    return installed;
}

}  // namespace ruzd::telephony
