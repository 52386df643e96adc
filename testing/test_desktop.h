#pragma once

// A desktop of the test's own for the test and the programs it starts: its settings
// (XDG_CONFIG_HOME) and its applications (XDG_DATA_HOME) in a folder of the test's, no desktop
// environment named, so that xdg-mime reads the freedesktop.org files itself, and the system's
// MIME database (XDG_DATA_DIRS) to tell a file's type. Only the test's applications are anyone's
// default, unless the test lets the system's count too.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

class TestDesktop {
public:
    // Sets the variables in `environment`, which puts them back.
    explicit TestDesktop(ScopedEnvironment& environment);

    // The desktop file "<id>.desktop" among the test's applications, for the MIME types
    // ("text/plain;"), with its Exec line; one with `terminal` runs in a terminal.
    void AddApplication(const std::string& id, const std::string& exec,
                        const std::string& mime_types, bool terminal = false);
    // The desktop's defaults, "<MIME type>" -> "<id>.desktop", replacing the ones before.
    void SetDefaults(const std::vector<std::pair<std::string, std::string>>& defaults);
    // Without the system's folders of applications and MIME database: nothing of the system's
    // is a default, and no file's type can be told.
    void LeaveOutTheSystem();

    void RemoveApplication(const std::string& id);

    // The program's path as the first word of an Exec line. xdg-mime takes a desktop file for a
    // default only when that word names an executable file, and reads the word without its
    // quotes' rules: a path in quotes (one with a blank, say) is passed over, and a path with
    // none of those characters is left as it is.
    static std::string ExecWord(const std::filesystem::path& program);

private:
    ScopedEnvironment& environment_;
    TempDir folder_;
    std::filesystem::path data_ = folder_.path() / "data";
    std::filesystem::path config_ = folder_.path() / "config";
};

}  // namespace ruzd::testing
