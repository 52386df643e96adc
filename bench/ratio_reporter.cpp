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

// The target as a line shows it, "no target" when none is set (0).
std::string TargetText(const char* format, double target) {
    if (target <= 0) {
        return "no target";
    }
    char text[64];
    std::snprintf(text, sizeof text, format, target);
    return text;
}

// One line: the label, the value (or "not measured"), the target, and " below target" when
// the target was missed or could not be judged for want of a value.
void PrintLine(const std::string& label, const std::optional<std::string>& value, double target,
               const std::string& target_text, bool missed) {
    const bool marked = target > 0 && (!value || missed);
    std::printf("%s: %s (%s)%s\n", label.c_str(), value ? value->c_str() : "not measured",
                target_text.c_str(), marked ? " below target" : "");
}

std::string Formatted(const char* format, double value, const char* unit = "") {
    char text[64];
    std::snprintf(text, sizeof text, format, value, unit);
    return text;
}

void PrintRatio(const Ratio& ratio, const RateCollector& collector) {
    const double measured = collector.Rate(ratio.measured);
    const double baseline = collector.Rate(ratio.baseline);
    std::optional<std::string> value;
    // Judged as printed, so that a line never shows its target met and missed at once.
    double percent = 0;
    if (measured > 0 && baseline > 0) {
        percent = std::round(100.0 * measured / baseline);
        value = Formatted("%.0f%%", percent);
    }
    PrintLine(ratio.label, value, ratio.target_percent,
              TargetText("target >= %.0f%%", ratio.target_percent), percent < ratio.target_percent);
}

void PrintFigure(const Figure& figure, const RateCollector& collector) {
    const std::optional<double> measured = collector.Counter(figure.benchmark, figure.counter);
    std::optional<std::string> value;
    if (measured) {
        value = Formatted("%.3f %s", *measured, figure.unit.c_str());
    }
    PrintLine(figure.label, value, figure.target_below,
              TargetText(("target < %g " + figure.unit).c_str(), figure.target_below),
              measured && *measured >= figure.target_below);
}

void PrintCost(const CostRatio& cost, const RateCollector& collector) {
    const std::optional<double> measured = collector.Counter(cost.measured, cost.counter);
    const std::optional<double> baseline = collector.Counter(cost.baseline, cost.counter);
    std::optional<std::string> value;
    double times = 0;
    if (measured && baseline && *measured > 0 && *baseline > 0) {
        times = std::round(100.0 * *measured / *baseline) / 100.0;
        value = Formatted("%.2fx", times);
    }
    PrintLine(cost.label, value, cost.target_times, TargetText("target <= %gx", cost.target_times),
              times > cost.target_times);
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
