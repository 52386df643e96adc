#pragma once

// The end of the road for a node that cannot work at all.

namespace ruzd::foundation {

// Shows "Error <code>" in an application message box, then asks the application to close its
// main window (nothing happens where it has none).
void FatalErrorBox(int code);

}  // namespace ruzd::foundation
