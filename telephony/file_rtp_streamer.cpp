#include "telephony/file_rtp_streamer.h"

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/program_runner.h"
#include "foundation/thread_names.h"
#include "platform/crt_file.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/win_path.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr uint32_t kReadOnlyBinary = 0x8000;
constexpr int32_t kSeekEnd = 2;
constexpr const char* kProgram = "ffmpeg.exe";

struct StreamRequest {
    std::string file_name;
    std::string address_text;
    int32_t port = 0;
    FileStreamerTimes times;
};

// The file's length, or none when it cannot be opened.
std::optional<uint32_t> FileLength(const std::string& file_name) {
    const int32_t handle = platform::CrtOpen(file_name, kReadOnlyBinary, 0);
    if (handle == -1) {
        return std::nullopt;
    }
    const int32_t length = platform::CrtLseek(handle, 0, kSeekEnd);
    platform::CrtClose(handle);
    return length < 0 ? 0u : static_cast<uint32_t>(length);
}

bool WaitForFile(const StreamRequest& request) {
    for (int attempt = 0; attempt < request.times.open_tries; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(request.times.open_pause);
        }
        if (FileLength(request.file_name)) {
            return true;
        }
    }
    return false;
}

uint32_t WaitForStartLength(const StreamRequest& request) {
    uint32_t length = FileLength(request.file_name).value_or(0);
    for (int poll = 0; poll < request.times.length_polls && length < request.times.start_length;
         ++poll) {
        std::this_thread::sleep_for(request.times.length_pause);
        length = FileLength(request.file_name).value_or(0);
    }
    return length;
}

// Whether the file grew beyond `length` within the watch; `length` becomes its new length.
bool FileGrew(const StreamRequest& request, uint32_t& length) {
    for (int poll = 0; poll < request.times.growth_polls; ++poll) {
        std::this_thread::sleep_for(request.times.growth_pause);
        const uint32_t now = FileLength(request.file_name).value_or(0);
        if (now > length) {
            length = now;
            return true;
        }
    }
    return false;
}

void StreamFile(const StreamRequest& request) {
    const char* file = request.file_name.c_str();
    const uint32_t self = platform::CurrentThreadId();
    foundation::ThreadNames::Set(self, platform::Format("RTPStreamThreadFnct file %s", file));
    if (!WaitForFile(request)) {
        VendorTrace(0, 0, "File %s not found for RTP streaming", file);
        foundation::ThreadNames::Set(self, "");
        return;
    }
    uint32_t length = WaitForStartLength(request);
    VendorTrace(0, 0, "Start RTP Stream file %s", file);
    const std::string destination =
        platform::Format("rtp://%s:%d", request.address_text.c_str(), request.port);
    // The command line is what the log shows; the program gets its arguments one by one, so
    // nothing in the file name can become an option or a command of its own.
    const std::string command_line = platform::Format("\"%s\" -sseof -2 -re -i \"%s\" -f rtp %s",
                                                      kProgram, file, destination.c_str());
    const std::vector<std::string> arguments = {
        kProgram, "-sseof", "-2",
        "-re",    "-i",     platform::MapWindowsPath(request.file_name).string(),
        "-f",     "rtp",    destination};
    for (;;) {
        std::string output;
        const int result = foundation::ProgramRunner::RunArguments(arguments, std::string(), output,
                                                                   foundation::kRunNoTimeout);
        if (result != 0) {
            VendorTrace(0, 0,
                        "ERROR : RTP Stream file %s Failed RunProgram %s ExitCode: %d. "
                        "Output:\r\n%s",
                        file, command_line.c_str(), result, output.c_str());
            break;
        }
        VendorTrace(0, 0, "RTP Stream file %s stopped. Output:\r\n%s", file, output.c_str());
        if (!FileGrew(request, length)) {
            break;
        }
    }
    VendorTrace(0, 0, "RTP Stream file %s done.", file);
    foundation::ThreadNames::Set(self, "");
}

}  // namespace

bool StartFileRTPStream(const std::string& file_name, const std::string& address_text, int32_t port,
                        const FileStreamerTimes& times) {
    auto request =
        std::make_unique<StreamRequest>(StreamRequest{file_name, address_text, port, times});
    // The thread waits until its start is logged, as a thread created suspended would.
    std::promise<void> resume;
    std::shared_future<void> resumed = resume.get_future().share();
    std::promise<uint32_t> started;
    std::future<uint32_t> thread_id = started.get_future();  // the promise goes to the thread
    try {
        std::thread([owned = std::move(request), resumed, started = std::move(started)]() mutable {
            started.set_value(platform::CurrentThreadId());
            resumed.wait();
            StreamFile(*owned);
        }).detach();
    } catch (const std::system_error&) {
        VendorTrace(0, 0, "Failed to create thread to stream RTP from %s to %s:%d",
                    file_name.c_str(), address_text.c_str(), port);
        return false;
    }
    VendorTrace(0, 0, "Created thread %u to stream RTP from %s to %s:%d", thread_id.get(),
                file_name.c_str(), address_text.c_str(), port);
    resume.set_value();
    return true;
}

}  // namespace ruzd::telephony
