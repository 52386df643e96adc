#pragma once

// An X server of the test's own without a screen (Xvfb), so that what draws or reads the screen
// can be checked. It picks a free display itself and is ended when the object goes.

#include <string>

namespace ruzd::testing {

class VirtualDisplay {
public:
    // `screen` as Xvfb takes it: "<width>x<height>x<depth>".
    explicit VirtualDisplay(const std::string& screen = "320x240x24");
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // False when the server could not be started (not installed, say).
    bool ready() const { return !name_.empty(); }
    // The display as $DISPLAY names it (":12").
    const std::string& name() const { return name_; }

private:
    int pid_ = -1;
    std::string name_;
};

}  // namespace ruzd::testing
