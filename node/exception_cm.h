#pragma once

// The node's start-up error: thrown by the manager's Initialise and handled by whoever created
// the manager, which logs it, shows or passes on the bare message and, when it is fatal, ends
// the application thread.

#include <stdexcept>
#include <string>

namespace ruzd::node {

class CExceptionCM : public std::runtime_error {
public:
    CExceptionCM(const std::string& message, bool fatal)
        : std::runtime_error(message), fatal_(fatal) {}

    bool IsFatal() const { return fatal_; }

private:
    bool fatal_;
};

}  // namespace ruzd::node
