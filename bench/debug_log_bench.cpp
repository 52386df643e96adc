// Lines per second through Trace into the rotating debug file, four threads logging at once,
// against one thread that formats the same lines and appends each with its own write.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/debug_log.h"
#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "platform/append_only_file.h"
#include "platform/thread.h"

namespace {

using namespace ruzd;

constexpr int kLinesPerRound = 200000;
constexpr const char* kText = "CCPLAY channel %d file C:\\Voice\\greeting%04d.vox offset 0";

// A platform root of its own, with the debug folder C:\Debug in it.
class BenchRoot {
public:
    BenchRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ruzd-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        setenv("RUZD_ROOT", root_.c_str(), 1);
        std::filesystem::create_directories(debug_folder());
    }
    ~BenchRoot() { std::filesystem::remove_all(root_); }
    std::filesystem::path debug_folder() const { return root_ / "drives" / "c" / "Debug"; }
    void EmptyDebugFolder() const {
        for (const auto& entry : std::filesystem::directory_iterator(debug_folder()))
            std::filesystem::remove(entry.path());
    }

private:
    std::filesystem::path root_;
};

BenchRoot& Root() {
    static BenchRoot root;
    return root;
}

// The line as the log composes it, formatted by hand.
int FormatLine(char* buffer, size_t size, int device, int number) {
    const foundation::SystemTime now = foundation::TimeTools::GetUtcSystemTime();
    int n = std::snprintf(buffer, size, "%02u:%02u:%02u.%03u:%03x:---------:Vo%04d 1 --- ",
                          now.hour, now.minute, now.second, now.milliseconds,
                          platform::CurrentThreadId() & 0xFFFu, device);
    n += std::snprintf(buffer + n, size - n, kText, device, number);
    n += std::snprintf(buffer + n, size - n, "\r\n");
    return n;
}

void BM_OneThreadWritePerLine(benchmark::State& state) {
    const std::filesystem::path path = Root().debug_folder() / "baseline.deb";
    for (auto _ : state) {
        platform::AppendOnlyFile file;
        if (!file.Open(path))
            std::abort();
        char line[256];
        for (int i = 0; i < kLinesPerRound; ++i) {
            const int n = FormatLine(line, sizeof(line), 1, i);
            file.WriteAll(std::string_view(line, static_cast<size_t>(n)));
        }
        file.Close();
        state.PauseTiming();
        Root().EmptyDebugFolder();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRound);
}
BENCHMARK(BM_OneThreadWritePerLine)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each round starts the log, lets the threads trace their share and stops the log, which
// writes every queued line before it returns: the time covers lines on disk, not in a queue.
void BM_TraceFromThreads(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    Root();
    for (auto _ : state) {
        foundation::StartDebugLog("C:\\Debug\\Tav", 0, true, 0);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([t, threads] {
                for (int i = 0; i < kLinesPerRound / threads; ++i)
                    foundation::Trace(foundation::kTraceVoice, t + 1, kText, t + 1, i);
            });
        }
        for (auto& worker : workers)
            worker.join();
        foundation::StopDebugLog();
        state.PauseTiming();
        Root().EmptyDebugFolder();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRound);
}
BENCHMARK(BM_TraceFromThreads)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
