#pragma once

// The program the desktop has registered for a file, as the Windows registry's file
// associations name it there: the file's MIME type (xdg-mime query filetype), the desktop file
// that is the default for that type (xdg-mime query default), found among the applications of
// XDG_DATA_HOME and XDG_DATA_DIRS, and its command for a verb.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/desktop_entry.h"

namespace ruzd::foundation {

// The MIME type of the file; empty when it cannot be told.
std::string QueryFileType(const std::string& host_path);

// The id of the default desktop file for the MIME type ("org.gnome.gedit.desktop"); empty when
// there is none.
std::string QueryDefaultApplication(const std::string& mime_type);

// The desktop file of that id: XDG_DATA_HOME (default ~/.local/share) first, then each folder
// of XDG_DATA_DIRS (default /usr/local/share:/usr/share), below "applications"; an id's '-' may
// stand for a subfolder there. None when none of them has it.
std::optional<std::filesystem::path> FindDesktopFile(std::string_view desktop_id);

// The desktop file the desktop uses for files of the MIME type: of the ids its default names, the
// first that is found and can be read. None when there is none.
std::optional<DesktopEntry> DefaultDesktopEntry(const std::string& mime_type);

// The entry's command for the file (a host path): its own Exec line and, when it has none, its
// action "edit"'s; with `edit_verb_only` the "edit" one alone. None when it has no such command.
std::optional<std::vector<std::string>> EntryCommand(const DesktopEntry& entry,
                                                     const std::string& host_path,
                                                     bool edit_verb_only);

// The program and its arguments that open or edit the file: the "open" command (the desktop
// file's own Exec line) and, when it has none, the "edit" command (its action "edit"); with
// `edit_verb_only` the "edit" command alone. The file (a host path, relative ones from our
// folder) is named absolute there, as it is to xdg-mime, so that no name reads as an option.
// None when no program is registered for the file or it has no such command.
std::optional<std::vector<std::string>> AssociatedCommand(const std::string& file,
                                                          bool edit_verb_only);

}  // namespace ruzd::foundation
