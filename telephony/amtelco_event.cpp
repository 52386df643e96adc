#include "telephony/amtelco_event.h"

namespace ruzd::telephony {
namespace {

// A position past the end of the text reads as its terminating zero.
char At(std::string_view text, size_t position) {
    return position < text.size() ? text[position] : '\0';
}

bool Starts(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "QMT", the ring's request number, four hex digits, four more characters, then 'F' and the
// cable digit of a connection found.
AmtelcoEvent DecodeQueryAnswer(std::string_view text) {
    constexpr size_t kFoundMark = 12;
    constexpr size_t kDigit = 13;
    const char ring = At(text, 3);
    if ((ring != '0' && ring != '2') || text.size() <= kDigit) {
        return {};
    }
    const bool ringZero = ring == '0';
    if (text[kFoundMark] == 'F') {
        return {ringZero ? 5 : 7, text[kDigit] - '0'};
    }
    return {ringZero ? 6 : 8, -1};
}

}  // namespace

AmtelcoEvent DecodeAmtelcoMessage(uint8_t group, uint8_t type, std::string_view text) {
    if (group == 2 && type == 2 && Starts(text, "IA")) {
        return {0, -1};
    }
    if (((group == 10 && type == 2) || (group == 3 && type == 7)) && Starts(text, "EF")) {
        return {At(text, 2) == '0' ? 1 : 2, -1};
    }
    if (((group == 10 && type == 3) || (group == 3 && type == 11)) && Starts(text, "ER")) {
        return {At(text, 2) == '0' ? 3 : 4, -1};
    }
    if (group == 16 && type == 0 && Starts(text, "QMT")) {
        return DecodeQueryAnswer(text);
    }
    return {-1, -1, false};
}

}  // namespace ruzd::telephony
