#pragma once

// The window of the window modes, drawn with wxWidgets on the application thread. The shell
// runs the toolkit's loop, which also serves the thread's own messages (the node's timers, the
// time-change notices, the quit message): a post wakes the loop, which drains the thread's
// queue, and a timer of the toolkit wakes it when a thread timer is due. Without a display the
// program says so on stderr and the window does not start.

#include "app/vesmarin_app.h"
#include "app/view/vesmarin_view.h"

namespace ruzd::app::window {

// `linkFactory` makes the attached window's link to the service.
WindowShellFactory WxWindowShellFactory(ServiceLinkFactory linkFactory);

}  // namespace ruzd::app::window
