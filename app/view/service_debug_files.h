#pragma once

// Where a window finds debug files: the file a service writes now, the folder the file dialog
// starts in, and the dialog's filters.

#include <string>

#include "app/debug_settings.h"

namespace ruzd::app {

// The file-open dialog's filters: label and pattern pairs. GTK's patterns heed case, so each
// pattern matches its names in any case.
struct DebugFileFilter {
    const char* label;
    const char* pattern;
};
inline constexpr DebugFileFilter kDebugFileFilters[] = {
    {"Client-Debugfile (tav*.deb)", "[Tt][Aa][Vv]*.[Dd][Ee][Bb]"},
    {"Debugfile (*.deb)", "*.[Dd][Ee][Bb]"},
    {"All files (*.*)", "*"},
};

// The Windows path of the debug file that a log with these settings writes in this interval.
std::string CurrentDebugFileOf(const DebugSettings& settings);

// The service's debug folder as this machine reaches it. A service on this machine (a loopback
// address or one of this host's names) is reached at its own directory; another one at
// "\\address\directory", every ':' made '$' (drive C of host 10.0.0.5 is \\10.0.0.5\C$\...).
std::string ServiceDebugFolder(const std::string& address, const std::string& directory);

}  // namespace ruzd::app
