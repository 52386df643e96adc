#include "foundation/program_runner.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "foundation/captured_output.h"
#include "foundation/stand_in_programs.h"
#include "platform/child_output.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "platform/running_program.h"
#include "platform/text.h"
#include "platform/waitable.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr size_t kChunkBytes = 1024;
constexpr int kPollSliceMs = 100;
// SIGKILL cannot be caught, but a child stuck in the kernel may take a moment to go.
constexpr uint32_t kKilledChildGraceMs = 5000;

// The thread's last error tells the cause of a failure code, as callers of the runner expect.
int Failed(int failure, uint32_t win_error) {
    platform::SetLastError(win_error);
    return failure;
}

// Working folders come in Windows form, like every path from the registry or the wire. Empty
// stays empty (the child inherits ours); none when the folder cannot name a place.
std::optional<std::string> HostWorkingFolder(const std::string& working_folder) {
    if (working_folder.empty()) {
        return std::string();
    }
    std::string host = platform::MapWindowsPath(working_folder).string();
    if (host.empty()) {
        return std::nullopt;
    }
    return host;
}

// The run's failure code for a pipe that could not be made (the last error is set).
int PipeFailure(platform::ChildOutput::OpenResult result) {
    switch (result) {
        case platform::ChildOutput::OpenResult::kOpened:
            return 0;
        case platform::ChildOutput::OpenResult::kPipeFailed:
            return kRunPipeFailed;
        case platform::ChildOutput::OpenResult::kErrorEndFailed:
            return kRunStandardErrorFailed;
        case platform::ChildOutput::OpenResult::kReadEndFailed:
            return kRunReadEndFailed;
    }
    return kRunPipeFailed;
}

// Reads the child's output until the child ends or the deadline passes.
class OutputCollector {
public:
    OutputCollector(const platform::ChildOutput& pipe, std::string& output)
        : pipe_(pipe), output_(output) {}

    void CollectUntilEnd(platform::ChildProcess& child,
                         std::optional<SteadyClock::time_point> deadline) {
        // The deadline is looked at between every two chunks: a child that never stops writing
        // is still ended at its time-out.
        for (;;) {
            if (child.HasEnded()) {
                TakePending();
                return;
            }
            int wait_ms = kPollSliceMs;
            if (deadline) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
                if (left.count() <= 0) {
                    return;
                }
                wait_ms = static_cast<int>(std::min<int64_t>(left.count(), kPollSliceMs));
            }
            // The child's end cuts the wait short: a program that ends at once costs no slice.
            if (child.WaitForOutputOrEnd(pipe_, wait_ms)) {
                ReadChunk(kChunkBytes);
            }
        }
    }

    void Finish() { decoder_.Finish(output_); }

private:
    // What the child left in the pipe when it ended. Only that much is read: a process that
    // outlives the child and keeps writing must not hold the run open.
    void TakePending() {
        size_t pending = pipe_.Pending();
        while (pending > 0) {
            const ptrdiff_t got = ReadChunk(std::min(kChunkBytes, pending));
            if (got <= 0) {
                return;
            }
            pending -= static_cast<size_t>(got);
        }
    }

    ptrdiff_t ReadChunk(size_t limit) {
        char buffer[kChunkBytes];
        const ptrdiff_t got = pipe_.Read(buffer, std::min(limit, sizeof(buffer)));
        if (got > 0) {
            decoder_.Append(std::string_view(buffer, static_cast<size_t>(got)), output_);
        }
        return got;
    }

    const platform::ChildOutput& pipe_;
    std::string& output_;
    CapturedOutputDecoder decoder_;
};

std::optional<SteadyClock::time_point> DeadlineAfter(uint32_t timeout_ms) {
    if (timeout_ms == kRunNoTimeout) {
        return std::nullopt;
    }
    return SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
}

int ExitResult(const platform::ChildProcess& child) {
    const std::optional<int> code = child.ExitCode();
    return code ? *code : kRunNoExitCode;
}

}  // namespace

int ProgramRunner::Run(const std::string& command_line, const std::string& working_folder,
                       std::string& output, uint32_t timeout_ms) {
    return RunArguments(platform::SplitCommandLine(command_line), working_folder, output,
                        timeout_ms);
}

int ProgramRunner::RunArguments(std::vector<std::string> arguments,
                                const std::string& working_folder, std::string& output,
                                uint32_t timeout_ms) {
    output.clear();
    platform::ChildOutput pipe;
    if (const int failure = PipeFailure(pipe.Open()); failure != 0) {
        return failure;
    }
    platform::ChildStart start;
    start.arguments = std::move(arguments);
    if (start.arguments.empty() || start.arguments.front().empty()) {
        return Failed(kRunStartFailed, platform::kErrorFileNotFound);
    }
    if (std::optional<std::string> standIn = StandInProgram(start.arguments.front())) {
        start.arguments.front() = std::move(*standIn);
    }
    const std::optional<std::string> folder = HostWorkingFolder(working_folder);
    if (!folder) {
        return Failed(kRunStartFailed, platform::kErrorFileNotFound);
    }
    start.working_folder = *folder;
    start.output = &pipe;
    start.own_process_group = true;
    platform::ChildProcess::StartFailure failure = platform::ChildProcess::StartFailure::kNone;
    const std::unique_ptr<platform::ChildProcess> child =
        platform::ChildProcess::Start(start, &failure);
    if (!child) {
        return failure == platform::ChildProcess::StartFailure::kSetup ? kRunStandardErrorFailed
                                                                       : kRunStartFailed;
    }
    const std::optional<SteadyClock::time_point> deadline = DeadlineAfter(timeout_ms);

    OutputCollector collector(pipe, output);
    collector.CollectUntilEnd(*child, deadline);
    collector.Finish();
    const bool timed_out = deadline && SteadyClock::now() >= *deadline;

    // The group goes with the run, as a job closed with the run would take its processes: a
    // timed-out child with all it started, or what the child left running behind it.
    child->KillGroup();
    if (!child->HasEnded()) {
        child->ended().Wait(kKilledChildGraceMs);
    }
    return timed_out ? kRunTimedOut : ExitResult(*child);
}

int ProgramRunner::RunSelf(const std::string& arguments, std::string& output, uint32_t timeout_ms) {
    const std::string self = platform::RunningProgramPath().string();
    if (self.empty()) {
        output.clear();
        return Failed(kRunStartFailed, platform::kErrorFileNotFound);
    }
    // The child inherits the current folder, which is what naming it would give.
    return Run(platform::Format("\"%s\" %s", self.c_str(), arguments.c_str()), std::string(),
               output, timeout_ms);
}

}  // namespace ruzd::foundation
