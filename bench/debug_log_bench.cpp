// Lines per second through Trace into the rotating debug file from 1, 4 and 8 threads, against
// two baselines of the same run that format the same lines: one thread writing each line with a
// write(2) of its own, and as many threads as trace, each filling a buffer of its own and
// writing it to one shared file when full.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/ratio_reporter.h"
#include "foundation/debug_line_text.h"
#include "foundation/debug_log.h"
#include "foundation/trace.h"

namespace {

using namespace ruzd;

constexpr int kLinesPerRound = 200000;
// The buffer of each thread of the buffered baseline, about what stdio would use.
constexpr size_t kBufferBytes = 64u << 10;
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

// Between two rounds, off the clock.
void EmptyDebugFolderUntimed(benchmark::State& state) {
    state.PauseTiming();
    Root().EmptyDebugFolder();
    state.ResumeTiming();
}

// The thread counts the log is measured with, the same for its buffered baseline.
void ThreadCounts(benchmark::internal::Benchmark* family) {
    family->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The line as the log writes it, composed with the log's own tools: the baselines differ from
// the log only in how the lines reach the file.
void FormatLine(std::string& out, int device, int number) {
    out.clear();
    foundation::AppendDebugLineHeader(out, foundation::kDebugChannelVoice, device,
                                      foundation::kDebugNone, foundation::CDebugFile::kPlainLine,
                                      1);
    char text[128];
    const int n = std::snprintf(text, sizeof(text), kText, device, number);
    out.append(text, static_cast<size_t>(n));
    foundation::ToDebugFileBytes(out);
}

void WriteAll(int fd, const char* bytes, size_t length) {
    if (::write(fd, bytes, length) != static_cast<ssize_t>(length))
        std::abort();
}

void BM_OneThreadWritePerLine(benchmark::State& state) {
    const std::filesystem::path path = Root().debug_folder() / "baseline.deb";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        std::string line;
        for (int i = 0; i < kLinesPerRound; ++i) {
            FormatLine(line, 1, i);
            WriteAll(fd, line.data(), line.size());
        }
        ::close(fd);
        EmptyDebugFolderUntimed(state);
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRound);
}
BENCHMARK(BM_OneThreadWritePerLine)->Unit(benchmark::kMillisecond)->UseRealTime();

// Starts `threads` threads that run `body(t)` for t = 0 .. threads - 1 and waits for them.
template <typename Body>
void RunThreads(int threads, Body body) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&body, t] { body(t); });
    for (auto& worker : workers)
        worker.join();
}

void BM_BufferedWritesFromThreads(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const std::filesystem::path path = Root().debug_folder() / "buffered.deb";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        RunThreads(threads, [fd, threads](int t) {
            std::vector<char> buffer(kBufferBytes);
            size_t used = 0;
            std::string line;
            for (int i = 0; i < kLinesPerRound / threads; ++i) {
                FormatLine(line, t + 1, i);
                if (used + line.size() > buffer.size()) {
                    WriteAll(fd, buffer.data(), used);
                    used = 0;
                }
                std::memcpy(buffer.data() + used, line.data(), line.size());
                used += line.size();
            }
            WriteAll(fd, buffer.data(), used);
        });
        ::close(fd);
        EmptyDebugFolderUntimed(state);
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRound);
}
BENCHMARK(BM_BufferedWritesFromThreads)->Apply(ThreadCounts);

// Each round starts the log, lets the threads trace their share and stops the log, which
// writes every queued line before it returns: the time covers lines on disk, not in a queue.
void BM_TraceFromThreads(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    Root();
    for (auto _ : state) {
        foundation::StartDebugLog("C:\\Debug\\Tav", 0, true, 0);
        RunThreads(threads, [threads](int t) {
            for (int i = 0; i < kLinesPerRound / threads; ++i)
                foundation::Trace(foundation::kTraceVoice, t + 1, kText, t + 1, i);
        });
        foundation::StopDebugLog();
        EmptyDebugFolderUntimed(state);
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRound);
}
BENCHMARK(BM_TraceFromThreads)->Apply(ThreadCounts);

// The ratios for 1, 4 and 8 threads against both baselines; the targets are set at 4 threads.
std::vector<bench::Ratio> Ratios() {
    std::vector<bench::Ratio> ratios;
    for (const int threads : {1, 4, 8}) {
        const std::string count = std::to_string(threads);
        const std::string traced = "BM_TraceFromThreads/" + count + "/real_time";
        const std::string label =
            "debug log, " + count + (threads == 1 ? " thread" : " threads") + " vs ";
        ratios.push_back({label + "one write(2) per line", traced,
                          "BM_OneThreadWritePerLine/real_time", threads == 4 ? 300.0 : 0.0});
        ratios.push_back(
            {label + "buffered writes from " + count + (threads == 1 ? " thread" : " threads"),
             traced, "BM_BufferedWritesFromThreads/" + count + "/real_time",
             threads == 4 ? 25.0 : 0.0});
    }
    return ratios;
}

}  // namespace

int main(int argc, char** argv) {
    return ruzd::bench::RunWithRatios(argc, argv, Ratios());
}
