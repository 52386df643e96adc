#include "net/text_parameter.h"

namespace ruzd::net {

std::string EncodeParameter(std::string_view text) {
    if (text.empty()) {
        return std::string(1, kParameterEmpty);
    }
    std::string encoded(text);
    for (char& c : encoded) {
        if (c == ' ') {
            c = kParameterBlank;
        } else if (c == '\r') {
            c = kParameterCarriageReturn;
        }
    }
    return encoded;
}

std::string DecodeParameter(std::string_view parameter) {
    if (parameter.size() == 1 && parameter[0] == kParameterEmpty) {
        return {};
    }
    std::string decoded(parameter);
    for (char& c : decoded) {
        if (c == kParameterBlank) {
            c = ' ';
        } else if (c == kParameterCarriageReturn) {
            c = '\r';
        }
    }
    return decoded;
}

}  // namespace ruzd::net
