#pragma once

// The message boxes of the window modes: a dialog on the window's thread. A box asked for on
// another thread is shown on the window's thread while the asking thread waits; once the
// window's loop has ended, it answers with its default button instead. The answers keep the
// Windows numbers.

#include <cstdint>
#include <string>

#include "app/window/gui_test_seam.h"
#include "platform/message_box.h"

namespace ruzd::app::window {

// `seam` (may be null) must outlive the presenter's use.
platform::MessageBoxPresenter WxMessageBoxPresenter(GuiTestSeam* seam);

// Shows the box on this thread, which must be the toolkit's, and returns the answer; with a
// seam, notes the box there and takes the seam's answer instead.
int ShowMessageDialog(const std::string& text, const std::string& caption, uint32_t style,
                      GuiTestSeam* seam);

}  // namespace ruzd::app::window
