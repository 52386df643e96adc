#include "net/socket_command.h"

#include <algorithm>
#include <utility>

namespace ruzd::net {

CSocketCommand::CSocketCommand(SocketHandler handler, bool needsAuthorised,
                               SocketCountMode countMode, std::vector<int> allowedCounts,
                               int blockLengthParameter, int context)
    : handler_(std::move(handler)),
      needs_authorised_(needsAuthorised),
      count_mode_(countMode),
      allowed_counts_(std::move(allowedCounts)),
      block_length_parameter_(blockLengthParameter),
      context_(context) {}

bool CSocketCommand::CheckParameterCount(int received, int& expected) const {
    switch (count_mode_) {
        case kAtLeastFirstCount: {
            const int least = allowed_counts_.empty() ? 0 : allowed_counts_.front();
            if (received < least) {
                expected = least;
                return false;
            }
            return true;
        }
        case kExactlyOneOfCounts:
            if (std::find(allowed_counts_.begin(), allowed_counts_.end(), received) !=
                allowed_counts_.end()) {
                return true;
            }
            expected = allowed_counts_.size() == 1 ? allowed_counts_.front() : -1;
            return false;
        case kAnyCount:
        default:
            return true;
    }
}

}  // namespace ruzd::net
