#pragma once

// A desktop file (the freedesktop.org Desktop Entry format): how the desktop starts a program
// for a file, as the Windows registry's verbs tell it there. The entry's own Exec line is its
// "open" command; an action listed in its Actions key (here "edit") has an Exec line of its own.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

class DesktopEntry {
public:
    // Reads a desktop file; none when it cannot be read or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> Load(const std::filesystem::path& file);
    // The same from the file's text.
    static std::optional<DesktopEntry> Parse(std::string_view text);

    // The unescaped value of a key (without locale) in a group; none when it is missing.
    std::optional<std::string> Value(std::string_view group, std::string_view key) const;

    // The Exec line of the entry (empty action) or of the named action, which must be listed in
    // the entry's Actions key; none when there is no such line or it is empty.
    std::optional<std::string> Exec(std::string_view action) const;

private:
    // Group name -> key -> raw value.
    std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> groups_;
};

// The program and its arguments that an Exec line gives for one file: the line split by its
// quoting rules, %f, %F, %u and %U each standing for `file` as one argument, "%%" for '%', every
// other field code dropped (an argument that held nothing else goes with it). Empty when the
// line names no program or its quoting is broken.
std::vector<std::string> ExpandExecLine(std::string_view exec, const std::string& file);

}  // namespace ruzd::foundation
