#pragma once

// The about box: the program's version texts and the current folder.

#include <wx/window.h>

namespace ruzd::app::window {

class GuiTestSeam;

// Modal; in a test its texts are noted with the boxes instead.
void ShowAboutBox(wxWindow* parent, GuiTestSeam* seam);

}  // namespace ruzd::app::window
