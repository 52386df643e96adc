#pragma once

// Which peers may connect to a listening port: IPv4 addresses ("10.1.2.3") and address ranges in
// CIDR form ("192.168.0.0/16"), written in one text and separated by commas, semicolons or
// blanks. An empty list lets every address in, so that a port without a list stays as open as it
// always was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

class AddressList {
public:
    // Every address.
    AddressList() = default;

    // The list a text names; none when an entry is neither an address nor a range, and then
    // `bad_entry` (when given) holds the first such entry.
    static std::optional<AddressList> Parse(std::string_view text,
                                            std::string* bad_entry = nullptr);

    bool empty() const { return ranges_.empty(); }
    // Whether a peer of this dotted address may connect. A text that is no address is let in
    // only by an empty list.
    bool Allows(std::string_view address) const;

private:
    struct Range {
        uint32_t network = 0;  // host byte order, already masked
        uint32_t mask = 0;
    };

    std::vector<Range> ranges_;
};

// The address of a strict dotted text ("a.b.c.d", four decimal numbers 0 to 255) in host byte
// order; none for anything else.
std::optional<uint32_t> ParseDottedIpv4(std::string_view text);

}  // namespace ruzd::foundation
