#include "net/socket_command.h"

#include <algorithm>
#include <utility>

namespace ruzd::net {

CSocketCommand::CSocketCommand(SocketHandler handler, bool needsAuthorised,
                               SocketCountMode countMode, std::vector<int> allowedCounts,
                               int blockLengthParameter, int context)
    : handler_(std::move(handler)),
      needsAuthorised_(needsAuthorised),
      countMode_(countMode),
      allowedCounts_(std::move(allowedCounts)),
      blockLengthParameter_(blockLengthParameter),
      context_(context) {}

bool CSocketCommand::CheckParameterCount(int received, int& expected) const {
    switch (countMode_) {
        case kAtLeastFirstCount: {
            const int least = allowedCounts_.empty() ? 0 : allowedCounts_.front();
            if (received < least) {
                expected = least;
                return false;
            }
            return true;
        }
        case kExactlyOneOfCounts:
            if (std::find(allowedCounts_.begin(), allowedCounts_.end(), received) !=
                allowedCounts_.end()) {
                return true;
            }
            expected = allowedCounts_.size() == 1 ? allowedCounts_.front() : -1;
            return false;
        case kAnyCount:
        default:
            return true;
    }
}

}  // namespace ruzd::net
