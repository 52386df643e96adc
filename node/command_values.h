#pragma once

// The values of a command the argument reader took before it refused one, in the order of the
// frame: what a refused command's answer can still name (its line device, a request value).
// Only the values read before the first that failed count: a read that fails leaves the value
// in place, so whatever the reads after it found is not what the central server meant. Values
// a handler reads past the reader (through its Stream) take no place.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruzd::node {

class CommandValues {
public:
    void AddNumber(int32_t number) { values_.push_back(number); }
    // A text or a byte string: it keeps its place, but is no number.
    void AddOther() { values_.push_back(std::nullopt); }

    // The value at `position` (0 is the first value after the command id), 0 when the frame
    // did not hold a number there before the refused value.
    int32_t Number(size_t position) const {
        return position < values_.size() ? values_[position].value_or(0) : 0;
    }

private:
    std::vector<std::optional<int32_t>> values_;
};

}  // namespace ruzd::node
