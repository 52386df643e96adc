#pragma once

// The attached window's link to the node service: the window side of the local GUI link,
// reporting to the status view.

#include "app/view/vesmarin_view.h"

namespace ruzd::app {

ServiceLinkFactory GuiSocketLinkFactory();

}  // namespace ruzd::app
