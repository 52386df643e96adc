#pragma once

// A message box of a process that opens no window of its own (the node asked for its option
// help): the toolkit starts for the box alone and ends after it. A test's seam
// (gui_test_seam.h) notes the box and answers it, as it does for the window's boxes.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::app::window {

// The user's answer; none, with nothing shown or said, where no window can open (no display),
// so that the caller can tell its text another way.
std::optional<int> ShowStandaloneMessageBox(const std::string& text, const std::string& caption,
                                            uint32_t style);

}  // namespace ruzd::app::window
