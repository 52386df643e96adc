#pragma once

// The watchdog's settings. It takes them all from its command line, one letter and a value per
// option ("-I120", "/Alocalhost"); the record is filled once before the frame is made and only
// read afterwards.

#include <array>
#include <cstdint>
#include <string>

#include "foundation/address_list.h"

namespace ruzd::watchdog {

inline constexpr int32_t kPortUnset = -1;
inline constexpr int32_t kDefaultClientPort = 9100;
inline constexpr int32_t kDefaultServerPort = 9600;
inline constexpr int32_t kDefaultCountdownSeconds = 60;
inline constexpr int32_t kMinimumCountdownSeconds = 5;
inline constexpr size_t kPhoneFieldBytes = 17;
inline constexpr const char* kCalloutFileName = "PROJEC16.BTV";

struct WatchdogOptions {
    bool screen_shot = true;                       // N clears
    int32_t language = 1;                          // L
    bool crash_dumps = true;                       // U clears
    int32_t countdown = kDefaultCountdownSeconds;  // I, seconds
    int32_t client_port = kPortUnset;              // O
    int32_t server_port = kPortUnset;              // Q
    bool reboot = false;                           // B
    int32_t pulse = 0;                             // G, seconds; 0 off
    int32_t project = 0;                           // P
    int32_t state = 0;                             // S
    bool remote_only = false;                      // R
    bool card = false;                             // D
    bool event_monitor = false;                    // E
    bool first_chance_log = false;                 // H
    bool midi_dump = false;                        // M
    int32_t wait = 0;                              // W, seconds
    int32_t close_central = 0;                     // K, seconds; 0 off
    int32_t alert = 0;                             // X, seconds; 0 off
    std::string command;                           // C
    std::string callout_file;                      // F, Windows form, upper case
    std::string address;                           // A
    // T: Windows-1252 bytes, at most 16, always NUL-terminated.
    std::array<char, kPhoneFieldBytes> phone{};
    // V: the peers that the server socket takes (addresses and ranges); empty: any. And the
    // first entry of the option that is neither, when there is one.
    foundation::AddressList allowed_peers;
    std::string bad_peer_entry;
};

}  // namespace ruzd::watchdog
