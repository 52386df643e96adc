#pragma once

// The records the command handlers queue for the manager's queue workers, held by value in the
// queues.

#include <cstdint>
#include <string>

namespace ruzd::node {

// One XDS text message for an Amtelco board.
struct CAmtelcoParam {
    int32_t board = 0;  // its low 8 bits go to the vendor
    std::string text;
};

// One request to play digits into the relay time slot.
struct CRelayDigitsParam {
    int32_t device = 0;
    int32_t deviceType = 0;  // 999: a channel behind the Amtelco switchboard
    std::string digits;
    int32_t amtelcoReceive = 0;
    int32_t amtelcoCable = 0;
    int32_t cableDevice = 0;  // the device connected to the cable
    int32_t cableDeviceType = 0;
};

// One open or close of a voice or record file.
struct CFileHandlingParam {
    // What the record asks for.
    enum Kind : int32_t {
        kOpenVoiceFile = 0,
        kCloseVoiceFile = 1,
        kOpenRecordFile = 2,
        kCloseRecordFile = 3,
    };

    // For an open the central server's virtual handle, for a close the file handle.
    int32_t handle = 0;
    int32_t kind = kOpenVoiceFile;
    std::string name;  // the central path; for a close the name the file was registered under
    int32_t flags = 0;
    int32_t mode = 0;
    int32_t expectedSize = 0;
    int32_t expectedCrc = 0;
    int32_t channelId = 0;
};

}  // namespace ruzd::node
