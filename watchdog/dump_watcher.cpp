#include "watchdog/dump_watcher.h"

#include <chrono>
#include <thread>

#include "platform/append_only_file.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/core_dump.h"
#include "platform/elf_version_note.h"
#include "platform/local_time.h"
#include "platform/proc_file.h"
#include "platform/process_lookup.h"
#include "platform/process_tracer.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

constexpr uint32_t kNoVersionResource = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
const std::vector<std::string> kMidiModules = {"Orvanthella", "Glimbor", "Dorvamil"};

struct DebugParameters {
    uint32_t process_id = 0;
    bool midi = false;
    std::string dump_folder;
    bool first_chance_log = false;
};

platform::LocalTime LocalNow() {
    return platform::ToLocalTime(platform::NowSeconds()).value_or(platform::LocalTime{});
}

std::string Address(uint64_t address) {
    return platform::Format("0x%016llX", static_cast<unsigned long long>(address));
}

std::string WithoutTrailingSeparator(std::string folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

void LogFirstChance(const DebugParameters& parameters, const platform::TraceEvent& event) {
    const std::optional<std::string> executable =
        platform::ProcessExecutableName(parameters.process_id);
    if (!executable) {
        return;
    }
    const platform::LocalTime now = LocalNow();
    const std::string name = platform::Format(
        "%s\\%s_%04d-%02d-%02d.log", WithoutTrailingSeparator(parameters.dump_folder).c_str(),
        executable->c_str(), now.year, now.month, now.day);
    // Only a regular file is taken: a FIFO in its place would hold this thread, and with it the
    // traced process, stopped at its signal.
    platform::AppendOnlyFile file;
    int error = file.Open(platform::MapWindowsPath(name)) ? 0 : file.open_error();
    if (error == 0) {
        error = file.WriteAll(
            platform::Format("%02d-%02d-%02d : First-chance Exception 0x%x at %s\r\n", now.hour,
                             now.minute, now.second, event.signal, Address(event.address).c_str()));
    }
    if (error != 0) {
        WriteLogFormat("LogFirstChance: ERROR Could not write to %s, Error=%u", name.c_str(),
                       platform::WinErrorFromErrno(error));
    }
}

void CreateDump(const platform::ProcessTracer& tracer,
                const std::vector<platform::TracedThread>& threads,
                const platform::TraceEvent& event, const std::string& dump_folder, bool midi) {
    const uint32_t pid = static_cast<uint32_t>(tracer.pid());
    const std::string executable = platform::ProcessExecutableName(pid).value_or("");
    WriteLogFormat("CreateDump: Creating dump for %s, ProcessID=%u, Midi=%d", executable.c_str(),
                   pid, midi ? 1 : 0);
    std::string version;
    if (const auto numbers = platform::ReadVersionNote(platform::ProcFilePath(pid, "exe"))) {
        version = platform::Format("%d.%d.%d.%d", (*numbers)[0], (*numbers)[1], (*numbers)[2],
                                   (*numbers)[3]);
        WriteLogFormat("CreateDump: Executable Version=%s", version.c_str());
    } else {
        WriteLogFormat("CreateDump: ERROR GetFileVersionInfoSize failed, Error=%u",
                       kNoVersionResource);
    }
    const std::string file_name =
        DumpFileName(dump_folder, executable, version, platform::ComputerName().value_or(""),
                     platform::NowSeconds(), midi);
    WriteLogFormat("CreateDump: Dump FileName=%s", file_name.c_str());

    platform::CoreDumpRequest request;
    request.pid = tracer.pid();
    request.threads = threads;
    request.signal = event.signal;
    tracer.SignalInfo(event.thread, request.signal_info);
    request.larger = midi;
    request.modules = kMidiModules;
    platform::CoreDumpStep failed_step = platform::CoreDumpStep::kNone;
    const int error = platform::WriteCoreDump(platform::MapWindowsPath(file_name).string(), request,
                                              &failed_step);
    if (failed_step == platform::CoreDumpStep::kCreate) {
        WriteLogFormat("CreateDump: ERROR Could not create dump file, CreateFile failed, Error=%u",
                       platform::WinErrorFromErrno(error));
    } else if (error != 0) {
        // What was written stays for what it is worth; the log says it is cut short.
        WriteLogFormat("CreateDump: ERROR Could not write dump file, WriteFile failed, Error=%u",
                       platform::WinErrorFromErrno(error));
    }
}

void DebugThread(const DebugParameters& parameters, platform::Event& stop) {
    platform::ProcessTracer tracer(static_cast<pid_t>(parameters.process_id));
    if (const int error = tracer.Attach(); error != 0) {
        // A process that ended since it was found is no error: there is nothing left to watch.
        if (error != platform::kTraceeGone) {
            WriteLogFormat("DebugThread: ERROR DebugActiveProcess failed, Error=%u",
                           platform::WinErrorFromErrno(error));
        }
        return;
    }
    platform::TraceEvent crash;
    bool exited = false;
    while (!stop.IsSet()) {
        const platform::TraceEvent event = tracer.Wait(kDebugWaitMs);
        if (event.kind == platform::TraceEvent::Kind::kFirstChance) {
            WriteLogFormat("First-chance Exception 0x%x at %s", event.signal,
                           Address(event.address).c_str());
            if (parameters.first_chance_log) {
                LogFirstChance(parameters, event);
            }
            tracer.PassSignal(event);
        } else if (event.kind == platform::TraceEvent::Kind::kSecondChance) {
            crash = event;
            break;
        } else if (event.kind == platform::TraceEvent::Kind::kExited) {
            WriteLogFormat("Process debug event %u", static_cast<uint32_t>(event.exit_code));
            exited = true;
            break;
        }
    }
    int error = 0;
    if (crash.kind == platform::TraceEvent::Kind::kSecondChance) {
        WriteLogFormat("Second-chance Exception 0x%x at %s", crash.signal,
                       Address(crash.address).c_str());
        const std::vector<platform::TracedThread> threads = tracer.StopAll(crash);
        CreateDump(tracer, threads, crash, parameters.dump_folder, false);
        if (parameters.midi) {
            CreateDump(tracer, threads, crash, parameters.dump_folder, true);
        }
        error = tracer.DetachAll(&crash);
    } else if (!exited) {
        error = tracer.DetachAll();
    }
    if (error != 0) {
        WriteLogFormat("DebugThread: ERROR DebugActiveProcess failed, Error=%u",
                       platform::WinErrorFromErrno(error));
    }
    WriteLog("DebugThread: Done");
}

}  // namespace

std::string DumpFileName(const std::string& dump_folder, const std::string& executable,
                         const std::string& version, const std::string& computer, int64_t now,
                         bool midi) {
    const platform::LocalTime local = platform::ToLocalTime(now).value_or(platform::LocalTime{});
    return platform::Format("%s\\%s_%s_%s_%04d-%02d-%02d_%02d-%02d-%02d.%s",
                            WithoutTrailingSeparator(dump_folder).c_str(), executable.c_str(),
                            version.c_str(), computer.c_str(), local.year, local.month, local.day,
                            local.hour, local.minute, local.second, midi ? "dmp" : "mdmp");
}

DumpWatcher::~DumpWatcher() {
    Stop();
}

bool DumpWatcher::IsRunning() const {
    return thread_ != nullptr && thread_->ended().Wait(0) != platform::kWaitObject0;
}

bool DumpWatcher::Start(uint32_t process_id, const std::string& dump_folder, bool midi,
                        bool first_chance_log) {
    if (IsRunning() && process_id_ == process_id) {
        return true;
    }
    Stop();
    process_id_ = process_id;
    stop_ = std::make_shared<platform::Event>(true);
    thread_ = std::make_unique<platform::Thread>("DebugThread");
    const DebugParameters parameters{process_id, midi, dump_folder, first_chance_log};
    thread_->Start([parameters, stop = stop_] { DebugThread(parameters, *stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(kAttachSettleMs));
    return IsRunning();
}

void DumpWatcher::Stop() {
    if (thread_ == nullptr) {
        return;
    }
    stop_->Set();
    thread_->Join();
    thread_.reset();
    stop_.reset();
    process_id_ = 0;
}

}  // namespace ruzd::watchdog
