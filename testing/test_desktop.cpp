#include "testing/test_desktop.h"

#include <fstream>

namespace ruzd::testing {

TestDesktop::TestDesktop(ScopedEnvironment& environment) : environment_(environment) {
    for (const char* variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX"}) {
        environment_.Unset(variable);
    }
    std::filesystem::create_directories(data_ / "applications");
    std::filesystem::create_directories(config_);
    environment_.Set("XDG_CONFIG_HOME", config_.string());
    environment_.Set("XDG_DATA_HOME", data_.string());
    environment_.Set("XDG_DATA_DIRS", data_.string() + ":/usr/share");
    // The system's settings may name defaults of their own.
    environment_.Set("XDG_CONFIG_DIRS", (folder_.path() / "system-config").string());
    SetDefaults({});
}

void TestDesktop::AddApplication(const std::string& id, const std::string& exec,
                                 const std::string& mime_types, bool terminal) {
    std::ofstream(data_ / "applications" / (id + ".desktop"), std::ios::trunc)
        << "[Desktop Entry]\nType=Application\nName=" << id << "\nMimeType=" << mime_types
        << "\nExec=" << exec << "\nTerminal=" << (terminal ? "true" : "false") << "\n";
}

void TestDesktop::SetDefaults(const std::vector<std::pair<std::string, std::string>>& defaults) {
    std::ofstream list(config_ / "mimeapps.list", std::ios::trunc);
    list << "[Default Applications]\n";
    for (const auto& [type, id] : defaults) {
        list << type << "=" << id << "\n";
    }
}

void TestDesktop::LeaveOutTheSystem() {
    environment_.Set("XDG_DATA_DIRS", data_.string());
}

void TestDesktop::RemoveApplication(const std::string& id) {
    std::filesystem::remove(data_ / "applications" / (id + ".desktop"));
}

std::string TestDesktop::ExecWord(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (path.find_first_of(" \t\"'\\`$") == std::string::npos) {
        return path;
    }
    // Inside the line's quotes these take a backslash; a backslash, which the file's value
    // escapes as well, takes three.
    std::string word = "\"";
    for (const char c : path) {
        if (c == '\\') {
            word += "\\\\\\\\";
            continue;
        }
        if (c == '"' || c == '`' || c == '$') {
            word += '\\';
        }
        word += c;
    }
    return word + "\"";
}

}  // namespace ruzd::testing
