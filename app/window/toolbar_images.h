#pragma once

// The eight 16x16 pictures of the toolbar's buttons, in the order of its buttons (separators
// left out), with magenta (0xFF00FF) as the transparent colour.

#include <wx/bitmap.h>
#include <wx/image.h>

#include <vector>

namespace ruzd::app::window {

inline constexpr int kToolbarImageSize = 16;

std::vector<wxBitmap> ToolbarBitmaps();

}  // namespace ruzd::app::window
