#pragma once

// The benchmarks' own main: runs the benchmarks with the usual table, then prints the rate of
// each measured benchmark as a share of its baseline's, both from this run, one line per ratio:
//
//   debug log, 4 threads vs one write(2) per line: 165% (target >= 300%)
//
// The table goes to standard error and the ratio lines to standard output, so that ./bench.sh
// can gather the ratios of every program into one summary. A line whose target was missed (or
// could not be measured) ends with "below target", which ./bench.sh counts:
//
//   debug log, 4 threads vs one write(2) per line: 165% (target >= 300%) below target

#include <string>
#include <vector>

namespace ruzd::bench {

struct Ratio {
    std::string label;
    // Benchmark names as the table shows them ("BM_TraceFromThreads/4/real_time").
    std::string measured;
    std::string baseline;
    // The share the measured rate should reach, in percent; 0 when none is set.
    double target_percent = 0;
};

// A figure that a benchmark reports as one of its counters (a latency's percentile), printed
// after the ratios with its bound:
//
//   event latency, 1 channel, p99: 0.18 ms (target < 1 ms)
struct Figure {
    std::string label;
    std::string benchmark;
    std::string counter;  // "p99_ms"
    std::string unit;     // "ms"
    // The bound the figure should stay below; 0 when none is set.
    double target_below = 0;
};

// A cost that a benchmark reports as one of its counters (processor time per call), as a multiple
// of its baseline's, printed after the figures:
//
//   node CPU per call, 32 connections vs the minimal node: 1.42x (target <= 2x)
struct CostRatio {
    std::string label;
    std::string measured;
    std::string baseline;
    std::string counter;  // "cpu_us_per_call"
    // The multiple the measured cost should stay within; 0 when none is set.
    double target_times = 0;
};

// Rates are items per second, else bytes per second; a benchmark repeated (with
// --benchmark_repetitions) counts with its median.
int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios,
                  const std::vector<Figure>& figures = {},
                  const std::vector<CostRatio>& costs = {});

}  // namespace ruzd::bench
