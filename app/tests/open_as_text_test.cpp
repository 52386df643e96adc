// Debug files open as text in the desktop's program for plain text, whatever their names make
// of them, with real processes and the real xdg-mime. The desktop is the test's own; its
// programs are the launching tests' recorder, each desktop file's Exec line naming the MIME type
// the file stands for, so that the recorder notes which type the file was opened as.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/view/open_as_text.h"
#include "foundation/file_association.h"
#include "platform/desktop_open.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"
#include "testing/test_desktop.h"

namespace ruzd::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kPackageType = "application/vnd.debian.binary-package";

std::filesystem::path Recorder() {
    return testing::ProgramFolder() / "foundation_recorder_child";
}

// How the recorder was started once: its arguments and current folder.
struct RecordedRun {
    std::vector<std::string> arguments;
    std::string folder;
};

class OpenAsTextTest : public ::testing::Test {
protected:
    OpenAsTextTest() {
        environment_.Set("RUZD_RECORD_FILE", record_.string());
        // The desktop's opener goes by the name, and records no type.
        environment_.Set(platform::kDesktopOpenVariable, Recorder().string());
        const std::string recorder = testing::TestDesktop::ExecWord(Recorder());
        desktop_.AddApplication("ruzd-text-viewer", recorder + " --as text/plain %f",
                                "text/plain;");
        desktop_.AddApplication("ruzd-package-installer",
                                recorder + " --as " + kPackageType + " %f",
                                std::string(kPackageType) + ";");
        desktop_.SetDefaults({{"text/plain", "ruzd-text-viewer.desktop"},
                              {kPackageType, "ruzd-package-installer.desktop"}});
        std::filesystem::create_directories(debug_file_.parent_path());
        std::ofstream(debug_file_) << "12:00:00.000 Logging turned on\r\n";
    }

    // The recorder's runs so far.
    std::vector<RecordedRun> Runs() const {
        std::vector<RecordedRun> runs;
        std::ifstream file(record_);
        RecordedRun run;
        for (std::string line; std::getline(file, line);) {
            if (line.starts_with("arg ")) {
                run.arguments.push_back(line.substr(4));
            } else if (line.starts_with("cwd ")) {
                run.folder = line.substr(4);
            } else if (line == "end") {
                runs.push_back(std::move(run));
                run = RecordedRun{};
            }
        }
        return runs;
    }

    // The first run, once the recorder has written it.
    RecordedRun FirstRun() const {
        std::vector<RecordedRun> runs;
        testing::Eventually([&] { return !(runs = Runs()).empty(); });
        return runs.empty() ? RecordedRun{} : runs.front();
    }

    testing::TempDir work_;
    testing::ScopedEnvironment environment_;
    testing::TestDesktop desktop_{environment_};
    const std::filesystem::path record_ = work_.path() / "record.txt";
    const std::filesystem::path debug_file_ = work_.path() / "debug" / "Tav2024010112.deb";
};

TEST_F(OpenAsTextTest, ADebugFileOpensInTheProgramForTextThoughItsNameSaysPackage) {
    // What the desktop's opener would go by.
    EXPECT_EQ(foundation::QueryFileType(debug_file_.string()), kPackageType);

    EXPECT_EQ(OpenAsText(debug_file_.string()), "");
    const RecordedRun run = FirstRun();
    EXPECT_THAT(run.arguments, ElementsAre("--as", "text/plain", debug_file_.string()));
    EXPECT_EQ(run.folder, debug_file_.parent_path().string());
}

TEST_F(OpenAsTextTest, ARelativeNameGoesToTheProgramAbsoluteSoThatItReadsAsNoOption) {
    const testing::TempWorkFolder current;
    const std::filesystem::path file = current.path() / "-Tav2024.deb";
    std::ofstream(file) << "a line\r\n";

    EXPECT_EQ(OpenAsText("-Tav2024.deb"), "");
    EXPECT_THAT(FirstRun().arguments, ElementsAre("--as", "text/plain", file.string()));
}

TEST_F(OpenAsTextTest, AProgramForTheTerminalRunsInTheUsersTerminal) {
    // The user's terminal is the recorder, found on the PATH by Debian's name for it.
    const std::filesystem::path bin = work_.path() / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::create_symlink(Recorder(), bin / "x-terminal-emulator");
    const char* path = std::getenv("PATH");
    environment_.Set("PATH", bin.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
    const std::string recorder = testing::TestDesktop::ExecWord(Recorder());
    desktop_.AddApplication("ruzd-terminal-editor", recorder + " --as text/plain %F", "text/plain;",
                            true);
    desktop_.SetDefaults({{"text/plain", "ruzd-terminal-editor.desktop"}});

    EXPECT_EQ(OpenAsText(debug_file_.string()), "");
    EXPECT_THAT(FirstRun().arguments,
                ElementsAre("-e", Recorder().string(), "--as", "text/plain", debug_file_.string()));
}

TEST_F(OpenAsTextTest, WhatKeepsAFileFromOpeningIsSaidAndNothingElseOpensIt) {
    EXPECT_THAT(OpenAsText(""), HasSubstr("no debug file to open"));
    const std::string missing = (work_.path() / "debug" / "Tav1999.deb").string();
    EXPECT_EQ(OpenAsText(missing),
              "The debug file \"" + missing + "\" cannot be opened: there is no such file.");

    // A program that is there but cannot start: its interpreter is missing.
    const std::filesystem::path broken = work_.path() / "broken-viewer";
    std::ofstream(broken) << "#!/nonexistent/interpreter\n";
    std::filesystem::permissions(broken, std::filesystem::perms::owner_all);
    desktop_.AddApplication("ruzd-broken", broken.string() + " %f", "text/plain;");
    desktop_.SetDefaults({{"text/plain", "ruzd-broken.desktop"}});
    EXPECT_THAT(OpenAsText(debug_file_.string()),
                HasSubstr("cannot be opened: \"" + broken.string() + "\" did not start ("));

    // No program for text at all, the system's (vim, say) left out: the package's program is
    // not taken instead.
    for (const char* id : {"ruzd-text-viewer", "ruzd-broken"}) {
        desktop_.RemoveApplication(id);
    }
    desktop_.SetDefaults({{kPackageType, "ruzd-package-installer.desktop"}});
    desktop_.LeaveOutTheSystem();
    EXPECT_EQ(OpenAsText(debug_file_.string()),
              "The debug file \"" + debug_file_.string() +
                  "\" cannot be opened: the desktop names no program for text files "
                  "(text/plain).");
    EXPECT_TRUE(Runs().empty());
}

}  // namespace
}  // namespace ruzd::app
