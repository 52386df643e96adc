// The file streamer with a program of the test's own in ffmpeg's place, first on the search
// path: it writes down its arguments, one a line, may add to the file it is given, and exits
// with the code the test chose.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_path.h"
#include "telephony/file_rtp_streamer.h"
#include "telephony/tests/vendor_stub_fixture.h"
#include "testing/eventually.h"
#include "testing/rtp_receiver.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::telephony {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kFile = "C:\\REC\\CALL.VOX";

// Lists its arguments in FAKE_FFMPEG_CALLS (a line "run" first), adds a byte to the streamed
// file on its first run when FAKE_FFMPEG_GROW is set, says something and exits with
// FAKE_FFMPEG_EXIT.
constexpr const char* kFakeProgram = R"(#!/bin/sh
runs=$(grep -c '^run$' "$FAKE_FFMPEG_CALLS" 2>/dev/null || echo 0)
echo run >> "$FAKE_FFMPEG_CALLS"
for argument in "$@"; do echo "$argument" >> "$FAKE_FFMPEG_CALLS"; done
if [ -n "$FAKE_FFMPEG_GROW" ] && [ "$runs" = 0 ]; then printf x >> "$5"; fi
echo "streamed $5"
exit "${FAKE_FFMPEG_EXIT:-0}"
)";

class FileRtpStreamerTest : public VendorStubTest {
protected:
    FileRtpStreamerTest() {
        const fs::path program = tools_.path() / "ffmpeg";
        std::ofstream(program) << kFakeProgram;
        fs::permissions(program, fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        environment_.Set("PATH", tools_.path().string() + ":" + (path != nullptr ? path : ""));
        environment_.Set("FAKE_FFMPEG_CALLS", Calls().string());
        times_.open_tries = 3;
        times_.open_pause = std::chrono::milliseconds(0);
        times_.start_length = 4;
        times_.length_polls = 0;
        times_.growth_polls = 1;
        times_.growth_pause = std::chrono::milliseconds(0);
    }

    fs::path Calls() const { return tools_.path() / "calls"; }
    fs::path HostFile() const { return platform::MapWindowsPath(kFile); }

    void WriteFile(const std::string& content) {
        fs::create_directories(HostFile().parent_path());
        std::ofstream(HostFile(), std::ios::binary) << content;
    }

    std::vector<std::string> CallLines() const {
        std::vector<std::string> lines;
        std::ifstream in(Calls());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // Streams the file and waits for the streamer's last line.
    void Stream() {
        ASSERT_TRUE(StartFileRTPStream(kFile, "127.0.0.1", 5004, times_));
        ASSERT_TRUE(testing::Eventually([this] {
            for (const std::string& text : Texts())
                if (text.find("done.") != std::string::npos ||
                    text.find("not found") != std::string::npos)
                    return true;
            return false;
        }));
    }

    testing::TempDir tools_;
    testing::ScopedEnvironment environment_;
    FileStreamerTimes times_;
};

TEST_F(FileRtpStreamerTest, TheProgramGetsTheFileAndTheEndpointAsArgumentsOfTheirOwn) {
    WriteFile("voice of the call");
    Stream();
    EXPECT_THAT(CallLines(), ElementsAre("run", "-sseof", "-2", "-re", "-i", HostFile().string(),
                                         "-f", "rtp", "rtp://127.0.0.1:5004"));
    EXPECT_THAT(Texts(), Contains(std::string("Start RTP Stream file ") + kFile));
    EXPECT_THAT(Texts(), Contains(std::string("RTP Stream file ") + kFile +
                                  " stopped. Output:\r\nstreamed " + HostFile().string() + "\n"));
    EXPECT_THAT(Texts(), Contains(std::string("RTP Stream file ") + kFile + " done."));
}

TEST_F(FileRtpStreamerTest, AFileThatGrewDuringTheRunIsStreamedAgain) {
    environment_.Set("FAKE_FFMPEG_GROW", "1");
    WriteFile("voice of the call");
    Stream();
    size_t runs = 0;
    for (const std::string& line : CallLines())
        runs += line == "run" ? 1 : 0;
    EXPECT_EQ(runs, 2u);
}

TEST_F(FileRtpStreamerTest, AFailedRunIsLoggedWithTheCommandLineAndItsExitCode) {
    environment_.Set("FAKE_FFMPEG_EXIT", "3");
    WriteFile("voice of the call");
    Stream();
    EXPECT_THAT(Texts(), Contains(std::string("ERROR : RTP Stream file ") + kFile +
                                  " Failed RunProgram \"ffmpeg.exe\" -sseof -2 -re -i \"" + kFile +
                                  "\" -f rtp rtp://127.0.0.1:5004 ExitCode: 3. Output:\r\n"
                                  "streamed " +
                                  HostFile().string() + "\n"));
    EXPECT_THAT(Texts(), Contains(std::string("RTP Stream file ") + kFile + " done."));
}

TEST_F(FileRtpStreamerTest, AFileThatNeverAppearsRunsNothing) {
    Stream();
    EXPECT_THAT(Texts(), Contains(std::string("File ") + kFile + " not found for RTP streaming"));
    EXPECT_FALSE(fs::exists(Calls()));
}

TEST_F(FileRtpStreamerTest, AFileNameCannotAddOptions) {
    // A quote in the name would end the quoted argument on a command line; here it stays inside.
    const std::string name = "C:\\REC\\A\" -y -f null \"B.VOX";
    fs::create_directories(platform::MapWindowsPath(name).parent_path());
    std::ofstream(platform::MapWindowsPath(name)) << "voice";
    ASSERT_TRUE(StartFileRTPStream(name, "127.0.0.1", 5004, times_));
    ASSERT_TRUE(testing::Eventually([this] {
        for (const std::string& text : Texts())
            if (text.find("done.") != std::string::npos)
                return true;
        return false;
    }));
    const std::vector<std::string> calls = CallLines();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[5], platform::MapWindowsPath(name).string());
    EXPECT_THAT(calls, Not(Contains("-y")));
}

// The system's program, when it is installed: a wave file of A-law voice reaches a receiver of
// the test's own as RTP.
class RealFfmpegTest : public VendorStubTest {};

std::string WaveOfAlaw(uint32_t samples) {
    std::string wave;
    const auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wave += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    wave += "RIFF";
    put(36 + samples, 4);
    wave += "WAVEfmt ";
    put(16, 4);
    put(6, 2);  // A-law
    put(1, 2);
    put(8000, 4);
    put(8000, 4);
    put(1, 2);
    put(8, 2);
    wave += "data";
    put(samples, 4);
    wave += std::string(samples, static_cast<char>(0xD5));
    return wave;
}

TEST_F(RealFfmpegTest, AWaveFileIsStreamedToTheEndpoint) {
    bool installed = false;
    if (const char* path = std::getenv("PATH")) {
        std::string folders = path;
        for (size_t start = 0; start <= folders.size();) {
            const size_t end = std::min(folders.find(':', start), folders.size());
            installed |= fs::exists(fs::path(folders.substr(start, end - start)) / "ffmpeg");
            start = end + 1;
        }
    }
    // The test command installs it (scripts/debian-packages.txt): missing, it is a failure.
    ASSERT_TRUE(installed) << "ffmpeg is not on PATH";
    const fs::path host = platform::MapWindowsPath(kFile);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << WaveOfAlaw(8000);
    testing::RtpReceiver receiver;
    FileStreamerTimes times;
    times.growth_polls = 0;
    ASSERT_TRUE(StartFileRTPStream(kFile, "127.0.0.1", receiver.port(), times));
    const std::optional<testing::RtpPacket> packet = receiver.Next();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->version, 2);
    ASSERT_TRUE(testing::Eventually([this] {
        for (const std::string& text : Texts())
            if (text.find("done.") != std::string::npos)
                return true;
        return false;
    }));
    EXPECT_THAT(Texts(), Contains(HasSubstr("stopped. Output:")));
}

}  // namespace
}  // namespace ruzd::telephony
