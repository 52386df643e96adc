#include "telephony/invalid_parameter_hook.h"

#include <string>

#include "platform/loaded_modules.h"
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

}  // namespace

void NodeInvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                                 const wchar_t* file, unsigned int line, uintptr_t /*reserved*/) {
    VendorTrace(0, 0, "ERROR myInvalidParameterHandler expression %s function %s file %s line %u",
                WideToUtf8(expression).c_str(), WideToUtf8(function).c_str(),
                WideToUtf8(file).c_str(), line);
}

int InstallInvalidParameterHandler() {
    int installed = 0;
    for (const std::string& module : platform::LoadedModules()) {
        // Only the module's own setter: one it merely links against belongs to another module,
        // which the walk reaches by itself.
        if (auto setter = reinterpret_cast<SetInvalidParameterHandler>(
                platform::ExportOfLoadedModule(module, kSetterName))) {
            setter(&NodeInvalidParameterHandler);
            ++installed;
        }
    }
    return installed;
}

}  // namespace ruzd::telephony
