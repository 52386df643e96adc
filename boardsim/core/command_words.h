#pragma once

// Reading the control socket's command lines: words, numbers, hex bytes, devices, and the
// answers' two forms.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

struct Word {
    std::string text;
    size_t end;  // offset just past the word in the line
};

inline std::vector<Word> Split(const std::string& line) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back({line.substr(start, i - start), i});
    }
    return words;
}

inline std::optional<int64_t> Number(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

inline std::optional<std::vector<uint8_t>> HexBytes(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        uint8_t byte = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (ec != std::errc() || ptr != text.data() + i + 2)
            return std::nullopt;
        bytes.push_back(byte);
    }
    return bytes;
}

template <typename Record>
inline std::vector<uint8_t> Bytes(const Record& record) {
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

inline std::string Ok(const std::string& detail = std::string()) {
    return detail.empty() ? "OK" : "OK " + detail;
}

inline std::string Err(const std::string& reason) {
    return "ERR " + reason;
}

// An open device by name, or any handle handed out as "#<handle>"; -1 when there is none.
inline int32_t DeviceHandle(Machine& machine, const std::string& word) {
    if (word.size() > 1 && word[0] == '#') {
        const std::optional<int64_t> handle = Number(std::string_view(word).substr(1));
        if (handle && machine.devices().Find(static_cast<int32_t>(*handle)))
            return static_cast<int32_t>(*handle);
        return -1;
    }
    return machine.devices().HandleOf(word);
}

inline std::string Rest(const std::string& line, const std::vector<Word>& words, size_t after) {
    if (words.size() <= after + 1)
        return std::string();
    size_t start = words[after].end;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    return line.substr(start);
}

}  // namespace ruzd::boardsim
