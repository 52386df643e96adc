#include "platform/reg_file.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace ruzd::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHive = "HKEY_LOCAL_MACHINE";
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr size_t kLineWidth = 80;

// Blanks, tabs and the carriage return of a line with a Windows end.
std::string_view TrimLine(std::string_view text) {
    return Trim(text, " \t\r");
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// One to `maxDigits` hex digits and nothing else.
std::optional<uint32_t> ParseHexNumber(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    uint32_t number = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<uint32_t>(digit);
    }
    return number;
}

// "xx,xx,..."; blanks around the bytes and a trailing comma are tolerated.
std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string bytes;
    list = TrimLine(list);
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = TrimLine(list.substr(0, comma));
        const auto byte = ParseHexNumber(item, 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*byte);
        if (comma == std::string_view::npos) {
            break;
        }
        list = TrimLine(list.substr(comma + 1));
    }
    return bytes;
}

// A quoted text starting at text[pos] == '"'; \\ and \" are the escapes, any other backslash
// stands for itself. Leaves pos after the closing quote.
std::optional<std::string> ParseQuoted(std::string_view text, size_t& pos) {
    std::string result;
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return result;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            result += text[++i];
        } else {
            result += c;
        }
    }
    return std::nullopt;
}

std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// `"name"=data` or `@=data`.
bool ParseValueLine(std::string_view line, RegValue* value, std::string* reason) {
    size_t pos = 0;
    if (line.empty()) {
        *reason = "neither a key nor a value";
        return false;
    }
    if (line[0] == '@') {
        pos = 1;
    } else if (line[0] == '"') {
        auto name = ParseQuoted(line, pos);
        if (!name) {
            *reason = "unterminated value name";
            return false;
        }
        value->name = std::move(*name);
    } else {
        *reason = "neither a key nor a value";
        return false;
    }
    std::string_view rest = TrimLine(line.substr(pos));
    if (rest.empty() || rest[0] != '=') {
        *reason = "'=' missing after the value name";
        return false;
    }
    rest = TrimLine(rest.substr(1));

    if (!rest.empty() && rest[0] == '"') {
        size_t end = 0;
        auto text = ParseQuoted(rest, end);
        if (!text || end != rest.size()) {
            *reason = "malformed text value";
            return false;
        }
        value->type = kTypeString;
        value->data = Utf8ToUtf16leBytes(*text) + std::string(2, '\0');
        return true;
    }
    if (StartsWithIgnoreCase(rest, "dword:")) {
        const auto number = ParseHexNumber(rest.substr(6), 8);
        if (!number) {
            *reason = "malformed dword value";
            return false;
        }
        value->type = kTypeDword;
        value->data.clear();
        for (int shift = 0; shift < 32; shift += 8) {
            value->data += static_cast<char>((*number >> shift) & 0xFF);
        }
        return true;
    }
    std::string_view list;
    if (StartsWithIgnoreCase(rest, "hex:")) {
        value->type = kTypeBinary;
        list = rest.substr(4);
    } else if (StartsWithIgnoreCase(rest, "hex(")) {
        const size_t close = rest.find("):");
        const auto type = close == std::string_view::npos
                              ? std::nullopt
                              : ParseHexNumber(rest.substr(4, close - 4), 8);
        if (!type) {
            *reason = "malformed hex(type)";
            return false;
        }
        value->type = *type;
        list = rest.substr(close + 2);
    } else {
        *reason = "unknown value data";
        return false;
    }
    auto bytes = ParseHexBytes(list);
    if (!bytes) {
        *reason = "malformed hex bytes";
        return false;
    }
    value->data = std::move(*bytes);
    return true;
}

// "[HKEY_LOCAL_MACHINE\a\b]" -> the key a\b below root, created with its parents.
RegNode* ParseSection(std::string_view line, RegNode* root, std::string* reason) {
    if (line.back() != ']') {
        *reason = "section without ']'";
        return nullptr;
    }
    std::string_view path = line.substr(1, line.size() - 2);
    if (!StartsWithIgnoreCase(path, kHive)) {
        *reason = "section outside HKEY_LOCAL_MACHINE";
        return nullptr;
    }
    path.remove_prefix(kHive.size());
    RegNode* node = root;
    if (path.empty()) {
        return node;
    }
    if (path[0] != '\\') {
        *reason = "section outside HKEY_LOCAL_MACHINE";
        return nullptr;
    }
    path.remove_prefix(1);
    while (true) {
        const size_t slash = path.find('\\');
        const std::string_view part = path.substr(0, slash);
        if (part.empty()) {
            *reason = "empty key name in section";
            return nullptr;
        }
        node = node->AddSubkey(part);
        if (slash == std::string_view::npos) {
            return node;
        }
        path.remove_prefix(slash + 1);
    }
}

// Text for a REG_SZ written as a quoted string, when that reproduces the bytes exactly: valid
// UTF-16 without embedded nulls or line breaks, ended by exactly one null.
std::optional<std::string> PlainStringText(const std::string& data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != '\0' ||
        data[data.size() - 2] != '\0') {
        return std::nullopt;
    }
    const std::string body = data.substr(0, data.size() - 2);
    for (size_t i = 0; i < body.size(); i += 2) {
        if (body[i] == '\0' && body[i + 1] == '\0') {
            return std::nullopt;
        }
    }
    std::string text = Utf16leBytesToUtf8(body);
    if (text.find_first_of("\r\n") != std::string::npos || Utf8ToUtf16leBytes(text) != body) {
        return std::nullopt;
    }
    return text;
}

void AppendHexBytes(std::string& out, size_t column, const std::string& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        // Room for "xx," and the continuation backslash.
        if (i > 0 && column + 4 > kLineWidth) {
            out += "\\\n  ";
            column = 2;
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
        }
    }
}

void AppendValue(std::string& out, const RegValue& value) {
    const size_t lineStart = out.size();
    out += value.name.empty() ? std::string("@") : Quote(value.name);
    out += '=';
    if (value.type == kTypeString) {
        if (auto text = PlainStringText(value.data)) {
            out += Quote(*text);
            out += '\n';
            return;
        }
    }
    if (value.type == kTypeDword && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        }
        out += Format("dword:%08x\n", number);
        return;
    }
    out += value.type == kTypeBinary ? std::string("hex:") : Format("hex(%x):", value.type);
    AppendHexBytes(out, out.size() - lineStart, value.data);
    out += '\n';
}

void AppendKey(std::string& out, const RegNode& node, const std::string& path, bool isRoot) {
    if (!isRoot || !node.values().empty()) {
        out += '[' + path + "]\n";
        for (const RegValue& value : node.values()) {
            AppendValue(out, value);
        }
        out += '\n';
    }
    for (const auto& subkey : node.subkeys()) {
        AppendKey(out, *subkey, path + '\\' + subkey->name(), false);
    }
}

}  // namespace

bool ParseRegFile(std::string_view bytes, RegNode* root, std::string* error, RegTextForm* form) {
    std::string decoded;
    RegTextForm readForm;
    if (!DecodeRegText(bytes, &decoded, &readForm, error)) {
        return false;
    }
    if (form != nullptr) {
        *form = readForm;
    }
    const std::string_view text = decoded;
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }

    bool headerSeen = false;
    RegNode* current = nullptr;
    std::string reason;
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNumber = i + 1;
        const std::string_view firstLine = lines[i];
        std::string line(TrimLine(lines[i]));
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (!headerSeen) {
            if (line != kHeader) {
                reason = "not a registry file";
            }
            headerSeen = true;
        } else if (line[0] == '[') {
            current = ParseSection(line, root, &reason);
        } else if (current == nullptr) {
            reason = "value before the first key";
        } else {
            // A lone continuation joins nothing to nothing: the empty line is refused below.
            while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
                line.pop_back();
                line += TrimLine(lines[++i]);
            }
            RegValue value;
            if (ParseValueLine(line, &value, &reason)) {
                current->SetValue(value.name, value.type, std::move(value.data), lineNumber);
            }
        }
        if (!reason.empty()) {
            if (error != nullptr) {
                *error = Format("line %zu: %s: %s", lineNumber, reason.c_str(),
                                ShownRegLine(firstLine).c_str());
            }
            return false;
        }
    }
    return true;
}

std::string FormatRegFile(const RegNode& root, const RegTextForm& form) {
    std::string out(kHeader);
    out += "\n\n";
    AppendKey(out, root, std::string(kHive), true);
    return EncodeRegText(out, form);
}

}  // namespace ruzd::platform
