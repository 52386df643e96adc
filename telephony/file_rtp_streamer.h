#pragma once

// Sends a file that may still be growing to an RTP endpoint through the outside program
// "ffmpeg.exe", on a thread of its own: it waits for the file to appear and to reach a useful
// length, runs the program on it, and runs it again as long as the file grows in between.

#include <chrono>
#include <cstdint>
#include <string>

namespace ruzd::telephony {

// How long the streamer waits, as counts of pauses.
struct FileStreamerTimes {
    int open_tries = 21;
    std::chrono::milliseconds open_pause{100};
    uint32_t start_length = 131072;  // bytes the file should hold before the program starts
    int length_polls = 40;
    std::chrono::milliseconds length_pause{50};
    int growth_polls = 20;  // how long a finished run watches the file for more
    std::chrono::milliseconds growth_pause{50};
};

// Starts the streamer's thread; false when it could not be started.
bool StartFileRTPStream(const std::string& file_name, const std::string& address_text, int32_t port,
                        const FileStreamerTimes& times = {});

}  // namespace ruzd::telephony
