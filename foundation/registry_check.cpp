#include "foundation/registry_check.h"

#include <cctype>
#include <cstdint>
#include <optional>

#include "foundation/static_tools.h"
#include "platform/reg_tree.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::foundation {
namespace {

const char* KindName(RegistryValueKind kind) {
    return kind == RegistryValueKind::kDword ? "a dword" : "a string";
}

// The value as the file writes it, in words.
std::string Described(const platform::RegValue& value) {
    switch (value.type) {
        case platform::kRegSz:
            if (const auto text = platform::RegSzText(value.type, value.data)) {
                return "a string (\"" + *text + "\")";
            }
            return "a string";
        case platform::kRegDword:
            if (const auto number = platform::RegDwordNumber(value.type, value.data)) {
                return platform::Format("a dword (dword:%08x)", *number);
            }
            return platform::Format("a dword of %zu bytes", value.data.size());
        case platform::kRegBinary:
            return platform::Format("hex bytes (%zu of them)", value.data.size());
        case platform::kRegExpandSz:
            return "an expandable string (hex(2))";
        case platform::kRegMultiSz:
            return "a multi-string (hex(7))";
        default:
            return platform::Format("a value of type hex(%x)", value.type);
    }
}

// A decimal number of 32 bits, as a user may write a port in quotes.
std::optional<uint32_t> DecimalNumber(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    uint64_t number = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(number);
}

// How the line reads as the kind expected, when the value says it plainly.
std::string Rewritten(const platform::RegValue& value, RegistryValueKind kind) {
    if (kind != RegistryValueKind::kDword) {
        return {};
    }
    const std::optional<std::string> text = platform::RegSzText(value.type, value.data);
    const std::optional<uint32_t> number = text ? DecimalNumber(*text) : std::nullopt;
    if (!number) {
        return {};
    }
    return platform::Format(" (%s as a dword: \"%s\"=dword:%08x)", text->c_str(),
                            value.name.c_str(), *number);
}

std::string Where(const platform::RegValue& value) {
    return platform::Format("registry file %s, line %zu: ",
                            platform::RegistryStore::StorePath().string().c_str(), value.line);
}

std::string Mistyped(const platform::RegValue& value, const KnownRegistryValue& known) {
    return Where(value) + "\"" + value.name + "\" is " + Described(value) + " where " +
           KindName(known.kind) + " is expected; the default " + known.defaultText +
           " is used, and the line is kept as written" + Rewritten(value, known.kind);
}

std::string Misspelt(const platform::RegValue& value, const KnownRegistryValue& known,
                     std::string_view program) {
    return Where(value) + "\"" + value.name + "\" is no value " + std::string(program) +
           " knows; did you mean \"" + known.name + "\"? The line is ignored";
}

// The known value whose name is a slip away from `name`, the closest first; null for none.
const KnownRegistryValue* CloseTo(std::string_view name,
                                  const std::vector<KnownRegistryValue>& known) {
    const std::string upper = platform::AsciiUpper(name);
    const KnownRegistryValue* closest = nullptr;
    int best = kRegistryNameSlip + 1;
    for (const KnownRegistryValue& candidate : known) {
        const int distance =
            CStaticTools::DamerauLevenshtein(upper, platform::AsciiUpper(candidate.name));
        if (distance < best) {
            best = distance;
            closest = &candidate;
        }
    }
    return closest;
}

const KnownRegistryValue* Named(std::string_view name,
                                const std::vector<KnownRegistryValue>& known) {
    for (const KnownRegistryValue& candidate : known) {
        if (platform::EqualsIgnoreCase(candidate.name, name)) {
            return &candidate;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> FindRegistryMistakes(std::string_view section, std::string_view program,
                                              const std::vector<KnownRegistryValue>& known) {
    std::vector<std::string> mistakes;
    platform::RegistryStore::Read([&](const platform::RegNode& root) {
        const platform::RegNode* key = root.Find({"Software", "Ruzd", std::string(section)});
        if (key == nullptr) {
            return platform::kErrorSuccess;
        }
        for (const platform::RegValue& value : key->values()) {
            if (const KnownRegistryValue* named = Named(value.name, known)) {
                if (!IsOfKind(named->kind, value.type, value.data.size())) {
                    mistakes.push_back(Mistyped(value, *named));
                }
            } else if (const KnownRegistryValue* close = CloseTo(value.name, known)) {
                mistakes.push_back(Misspelt(value, *close, program));
            }
        }
        return platform::kErrorSuccess;
    });
    return mistakes;
}

}  // namespace ruzd::foundation
