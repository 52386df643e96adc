#include "bench/latencies.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ruzd::bench {

void Latencies::Report(benchmark::State& state, const std::string& prefix) {
    if (ms_.empty()) {
        return;
    }
    std::sort(ms_.begin(), ms_.end());
    // The nearest rank: the smallest value that `share` of all are not above.
    const auto at = [&](double share) {
        const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(ms_.size())));
        return ms_[std::min(ms_.size(), std::max<size_t>(rank, 1)) - 1];
    };
    state.counters[prefix + "p50_ms"] = at(0.5);
    state.counters[prefix + "p99_ms"] = at(0.99);
    state.counters[prefix + "max_ms"] = ms_.back();
    state.counters[prefix + "count"] = static_cast<double>(ms_.size());
}

}  // namespace ruzd::bench
