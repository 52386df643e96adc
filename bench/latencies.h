#pragma once

// Latencies a benchmark measured one by one (round trips, waits for an event), reported as
// counters of its run: their median, 99th percentile and maximum in milliseconds, which
// ratio_reporter's figures then print with their bounds.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace ruzd::bench {

class Latencies {
public:
    void Add(std::chrono::steady_clock::duration latency) {
        ms_.push_back(std::chrono::duration<double, std::milli>(latency).count());
    }
    size_t Count() const { return ms_.size(); }

    // The counters `prefix`p50_ms, `prefix`p99_ms and `prefix`max_ms, and `prefix`count;
    // nothing when nothing was measured.
    void Report(benchmark::State& state, const std::string& prefix = {});

private:
    std::vector<double> ms_;
};

}  // namespace ruzd::bench
