#pragma once

// What boards the simulated machine has, read from a text file of one setting a line (lines
// whose first word begins with '#' are comments). Unset settings keep their defaults: one
// board of every kind with a few channels each, the Dialogic service running.
// boardsim/README.md lists the settings.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boardsim/core/call_records.h"

namespace ruzd::boardsim {

struct BoardConfig {
    struct Boards {
        int count = 1;
        int subdevices = 0;  // channels, time slots, stations or DSPs of each board
    };

    Boards voice{1, 4};           // "dxxxB%d", channels "dxxxB%dC%d"
    Boards network{1, 30};        // "dtiB%d", time slots "dtiB%dT%d"
    Boards station{1, 8};         // "msiB%d", stations "msiB%dC%d"
    Boards conference{1, 2};      // "dcbB%d", DSPs "dcbB%dD%d"
    int conference_parties = 32;  // conference resources of each DSP
    int station_resources = 16;   // conference resources of each station board
    // Conferences an earlier run left behind, by board or DSP (catalogue name, lower case).
    std::vector<std::pair<std::string, int>> leftovers;
    Boards ip{1, 4};                 // IPT "iptB%d"/"iptB%dT%d" and IPM "ipmB%d"/"ipmB%dC%d"
    std::optional<Boards> ip_media;  // IPM boards of their own; as many as IPT boards when unset
    int amtelco_boards = 1;          // numbered from 1

    // The first four words of the feature table dx_getfeaturelist gives a voice channel: play,
    // record and tone features and the board configuration word.
    struct VoiceFeatures {
        uint16_t play = 0x1F;
        uint16_t record = 0x1F;
        uint16_t tone = 0x07;
        uint16_t board_config = 0;
    };
    VoiceFeatures voice_features;
    // Tables of single voice boards (by board number) that differ from voice_features.
    std::map<int, VoiceFeatures> board_voice_features;
    const VoiceFeatures& FeaturesOfVoiceBoard(int board) const;

    int32_t service_state = 4;  // 1 stopped, 2 start pending, 4 running
    std::string default_ip = "127.0.0.1";
    std::string tdm_bus_type = "H.100";
    std::string media_type = "ALaw";
    // Installed families with their devices; empty means derived from the boards.
    std::vector<std::pair<std::string, std::vector<std::string>>> families;
    // What the far end does with outgoing calls, unless the control socket says otherwise.
    Outcome dialout;
    // How long after its function a library's own work (a call reference written, a call
    // event raised) happens.
    int call_delay_ms = 5;
    // Media time runs this many times faster than the wall clock.
    int speed = 1;
    // The sources of devices by name, each as the words after the name.
    std::vector<std::pair<std::string, std::vector<std::string>>> sources;
    // The rings of Amtelco boards that have a connection, each as the words after
    // "amtelcoring" (read when the machine starts).
    std::vector<std::vector<std::string>> amtelco_rings;
    // Global Call call-control libraries that fail to start.
    std::vector<std::string> failing_cclibs;
    // Results of functions that have no behaviour of their own.
    std::map<std::string, int64_t> results;

    // Transmit slots pinned on the TDM bus: catalogue name (lower case) and slot, in the
    // order of the configuration.
    std::vector<std::pair<std::string, int32_t>> pinned_slots;

    // Aculab cards, in the order the system snapshot lists them.
    struct AculabCard {
        std::string serial;         // at most 30 characters
        uint32_t capabilities = 0;  // 1 call, 2 switch, 4 speech (Prosody), 8 IP telephony
        int32_t net_ports = 0;
        int32_t net_port_type = 0;
        int32_t prosody_modules = 0;
        uint32_t bus_modes = 0x04;  // what sw_mode_switch reports: 0x02 SCbus, 0x04 H.100
        // What the IP telephony capability reports as the card's TDM encoding and its H.323
        // fast start.
        int32_t tdm_encoding = 2;
        int32_t fast_start = 2;
    };
    std::vector<AculabCard> aculab_cards;

    // Reads the settings; every line that cannot be read is described in errors and skipped.
    static BoardConfig Parse(std::string_view text, std::vector<std::string>* errors);
    // The file's settings; the defaults when no path is given. An unreadable file is an
    // error.
    static BoardConfig Load(const char* path, std::vector<std::string>* errors);

    // The IP media boards: their own setting, else the same as the IP boards.
    const Boards& MediaBoards() const { return ip_media ? *ip_media : ip; }

    // The families to report: the configured ones, or one host media family when there are
    // IP boards.
    std::vector<std::pair<std::string, std::vector<std::string>>> InstalledFamilies() const;
};

}  // namespace ruzd::boardsim
