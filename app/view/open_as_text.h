#pragma once

// Opens a debug file for the user to read, in the program the desktop keeps for plain text. A
// debug file is text whatever its name says: the desktop's opener would go by the name, and a
// "Tav*.deb" reads to it as a Debian package that no program opens.

#include <string>

namespace ruzd::app {

// The MIME type the file is opened as.
inline constexpr const char* kTextMimeType = "text/plain";

// Starts the program of the default desktop file for text/plain (xdg-mime's default, found among
// the applications of XDG_DATA_HOME and XDG_DATA_DIRS) on the file (a host path, relative ones
// from our current folder, handed on absolute), in the file's folder; one that runs in a terminal
// is started in x-terminal-emulator. Nothing waits for it. Empty when the program started;
// otherwise what went wrong, in the user's words.
std::string OpenAsText(const std::string& file);

}  // namespace ruzd::app
