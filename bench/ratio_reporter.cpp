#include "bench/ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::bench {

namespace {

// Keeps every measured rate by benchmark name while the table is printed.
class RateCollector : public benchmark::ConsoleReporter {
public:
    RateCollector() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                for (const auto& [name, counter] : run.counters) {
                    counters_[run.run_name.str()][name] = counter.value;
                }
            }
            const std::optional<double> rate = RateOf(run);
            if (!rate) {
                continue;
            }
            if (run.run_type == Run::RT_Iteration) {
                rates_[run.run_name.str()] = *rate;
            } else if (run.aggregate_name == "median") {
                medians_[run.run_name.str()] = *rate;
            }
        }
    }

    // The rate of a benchmark (the median of its repetitions), 0 when it did not run.
    double Rate(const std::string& name) const {
        if (const auto median = medians_.find(name); median != medians_.end()) {
            return median->second;
        }
        const auto found = rates_.find(name);
        return found == rates_.end() ? 0 : found->second;
    }

    // A counter of a benchmark's (last) run; none when it did not run or set no such counter.
    std::optional<double> Counter(const std::string& name, const std::string& counter) const {
        const auto run = counters_.find(name);
        if (run == counters_.end()) {
            return std::nullopt;
        }
        const auto found = run->second.find(counter);
        return found == run->second.end() ? std::nullopt : std::optional<double>(found->second);
    }

private:
    static std::optional<double> RateOf(const Run& run) {
        if (run.error_occurred) {
            return std::nullopt;
        }
        for (const char* counter : {"items_per_second", "bytes_per_second"}) {
            if (const auto found = run.counters.find(counter); found != run.counters.end()) {
                return found->second.value;
            }
        }
        return std::nullopt;
    }

    // Rates of single runs, and the medians of repeated ones (all that is reported with
    // --benchmark_display_aggregates_only).
    std::map<std::string, double> rates_;
    std::map<std::string, double> medians_;
    std::map<std::string, std::map<std::string, double>> counters_;
};

// " below target" for a line whose target was missed or could not be measured.
const char* Mark(bool missed) {
    return missed ? " below target" : "";
}

void PrintRatio(const Ratio& ratio, const RateCollector& collector) {
    std::string target = "no target";
    if (ratio.target_percent > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "target >= %.0f%%", ratio.target_percent);
        target = text;
    }
    const double measured = collector.Rate(ratio.measured);
    const double baseline = collector.Rate(ratio.baseline);
    const bool targeted = ratio.target_percent > 0;
    if (measured > 0 && baseline > 0) {
        // Judged as printed, so that a line never shows its target met and missed at once.
        const double percent = std::round(100.0 * measured / baseline);
        std::printf("%s: %.0f%% (%s)%s\n", ratio.label.c_str(), percent, target.c_str(),
                    Mark(targeted && percent < ratio.target_percent));
    } else {
        std::printf("%s: not measured (%s)%s\n", ratio.label.c_str(), target.c_str(),
                    Mark(targeted));
    }
}

void PrintFigure(const Figure& figure, const RateCollector& collector) {
    std::string target = "no target";
    if (figure.target_below > 0) {
        char text[48];
        std::snprintf(text, sizeof text, "target < %g %s", figure.target_below,
                      figure.unit.c_str());
        target = text;
    }
    const bool targeted = figure.target_below > 0;
    if (const std::optional<double> value = collector.Counter(figure.benchmark, figure.counter)) {
        std::printf("%s: %.3f %s (%s)%s\n", figure.label.c_str(), *value, figure.unit.c_str(),
                    target.c_str(), Mark(targeted && *value >= figure.target_below));
    } else {
        std::printf("%s: not measured (%s)%s\n", figure.label.c_str(), target.c_str(),
                    Mark(targeted));
    }
}

void PrintCost(const CostRatio& cost, const RateCollector& collector) {
    std::string target = "no target";
    if (cost.target_times > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "target <= %gx", cost.target_times);
        target = text;
    }
    const bool targeted = cost.target_times > 0;
    const std::optional<double> measured = collector.Counter(cost.measured, cost.counter);
    const std::optional<double> baseline = collector.Counter(cost.baseline, cost.counter);
    if (measured && baseline && *measured > 0 && *baseline > 0) {
        const double times = std::round(100.0 * *measured / *baseline) / 100.0;
        std::printf("%s: %.2fx (%s)%s\n", cost.label.c_str(), times, target.c_str(),
                    Mark(targeted && times > cost.target_times));
    } else {
        std::printf("%s: not measured (%s)%s\n", cost.label.c_str(), target.c_str(),
                    Mark(targeted));
    }
}

}  // namespace

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios,
                  const std::vector<Figure>& figures, const std::vector<CostRatio>& costs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RateCollector collector;
    collector.SetOutputStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    std::cerr.flush();
    for (const Ratio& ratio : ratios) {
        PrintRatio(ratio, collector);
    }
    for (const Figure& figure : figures) {
        PrintFigure(figure, collector);
    }
    for (const CostRatio& cost : costs) {
        PrintCost(cost, collector);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace ruzd::bench
