#pragma once

// Which peers may connect to a listening port: IPv4 addresses and CIDR ranges in one text
// ("10.1.2.3, 192.168.7.0/24"), separated by commas, semicolons or white space. An empty text
// lets every peer in, so that a machine without the setting keeps working as it did; a text
// with entries lets in only the peers they name, and an entry that is neither an address nor
// a range names nobody (it is reported, never widened). A refused peer is to be logged once
// per address per minute, however often it tries.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ruzd::foundation {

class AddressGate {
public:
    static constexpr uint64_t kRefusalLogIntervalMs = 60000;
    // Addresses remembered for the refusal log; beyond it the oldest are forgotten, so that a
    // peer that tries from many addresses cannot grow the gate without end.
    static constexpr size_t kRememberedRefusals = 4096;

    explicit AddressGate(std::string_view list);

    // Whether the peer at `address` (host byte order) may connect.
    bool Admits(uint32_t address) const;
    // Whether a refusal of `address` at `now_ms` (a millisecond tick) is to be logged: the
    // first one, and then one a minute.
    bool ShouldLogRefusal(uint32_t address, uint64_t now_ms);

    bool AdmitsEveryone() const { return open_; }
    // The entries of the text that are neither an address nor a range.
    const std::vector<std::string>& BadEntries() const { return bad_entries_; }

    // A dotted address of four decimal parts ("10.1.2.3") in host byte order; false for
    // anything else.
    static bool ParseDotted(std::string_view text, uint32_t* address);

private:
    struct Range {
        uint32_t network;
        uint32_t mask;
    };

    bool open_ = true;
    std::vector<Range> ranges_;
    std::vector<std::string> bad_entries_;

    std::mutex lock_;  // guards the refusal times
    std::unordered_map<uint32_t, uint64_t> last_logged_;
};

}  // namespace ruzd::foundation
