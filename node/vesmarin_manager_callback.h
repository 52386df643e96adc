#pragma once

// What the manager reports to the part of the program that shows its state: the status view in
// the window modes, the service side of the local GUI link otherwise. The manager never owns
// its receiver and skips every report when it was given none.

#include <cstdint>
#include <string>

namespace ruzd::node {

class CVesmarinManagerCallback {
public:
    virtual ~CVesmarinManagerCallback() = default;

    // The manager may stop now: the user interface ends the program.
    virtual void OnVesmarinManagerStop() = 0;
    // The state of one port.
    virtual void OnVesmarinStatus(int32_t portType, int32_t ldev, const std::string& text,
                                  int32_t value) = 0;
    // The state of the link to the central server.
    virtual void OnVesmarinConnectionState(int32_t connected, int32_t starting) = 0;
    // The status-bar text.
    virtual void OnVesmarinStatusText(const std::string& text) = 0;
    // Empty the port list.
    virtual void OnVesmarinClearView() = 0;
};

}  // namespace ruzd::node
