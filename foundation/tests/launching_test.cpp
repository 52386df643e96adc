// Launching programs and files for the user, with real processes. No desktop program ever
// starts: the desktop's settings point at a desktop file of the test's own, whose commands run
// the test's editor, and the desktop's opener is the test's recorder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/desktop_entry.h"
#include "foundation/file_association.h"
#include "foundation/utilities.h"
#include "platform/desktop_open.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/win_path.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/message_receiver.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using ruzd::testing::ChildProgram;
using ruzd::testing::Eventually;
using ruzd::testing::MessageReceiver;

constexpr uint32_t kEdited = platform::kWmUser + 39;

std::string Program(const std::string& name) {
    return (ruzd::testing::ProgramFolder() / name).string();
}

std::string Host(const std::string& windows_path) {
    return platform::MapWindowsPath(windows_path).string();
}

class LaunchingTest : public ::testing::Test {
protected:
    LaunchingTest() {
        for (const char* variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                     "GNOME_DESKTOP_SESSION_ID", "XDG_CONFIG_DIRS"}) {
            environment_.Unset(variable);
        }
        const std::filesystem::path data = desktop_.path() / "data";
        std::filesystem::create_directories(data / "applications");
        std::filesystem::create_directories(desktop_.path() / "config");
        environment_.Set("XDG_CONFIG_HOME", (desktop_.path() / "config").string());
        environment_.Set("XDG_DATA_HOME", data.string());
        // The system's MIME database tells the type of a file.
        environment_.Set("XDG_DATA_DIRS", data.string() + ":/usr/share");
        environment_.Set("RUZD_RECORD_FILE", record_.string());
        environment_.Set(platform::kDesktopOpenVariable, Program("foundation_recorder_child"));
        std::ofstream(desktop_.path() / "config" / "mimeapps.list")
            << "[Default Applications]\ntext/plain=ruzd-test-editor.desktop\n";
    }

    // The test's editor as the program registered for text files: its own command in
    // `open_mode`, none when empty, and its "edit" action in `edit_mode`.
    void RegisterEditor(const std::string& open_mode, const std::string& edit_mode) {
        const std::string editor = Program("foundation_editor_child");
        std::ofstream file(desktop_.path() / "data" / "applications" / "ruzd-test-editor.desktop",
                           std::ios::trunc);
        file << "[Desktop Entry]\nType=Application\nName=Test editor\nMimeType=text/plain;\n"
             << "Actions=edit;\n";
        if (!open_mode.empty()) {
            file << "Exec=\"" << editor << "\" " << open_mode << " %f\n";
        }
        file << "\n[Desktop Action edit]\nName=Edit\nExec=\"" << editor << "\" " << edit_mode
             << " %f\n";
    }

    // A file on drive C of the root; its Windows path.
    std::string MakeFile(const std::string& windows_path, const std::string& content) {
        const std::filesystem::path host = platform::MapWindowsPath(windows_path);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << content;
        return windows_path;
    }

    std::vector<std::string> RecordLines() const {
        std::ifstream file(record_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    bool Recorded(const std::string& line) const {
        const std::vector<std::string> lines = RecordLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Waits for the recorder's `count`th run and gives the lines of that run.
    std::vector<std::string> RecorderRun(size_t count) const {
        std::vector<std::vector<std::string>> runs;
        Eventually([&] {
            runs.assign(1, {});
            for (const std::string& line : RecordLines()) {
                if (line == "end") {
                    runs.emplace_back();
                } else if (!line.starts_with("editor ")) {
                    runs.back().push_back(line);
                }
            }
            return runs.size() > count;
        });
        return runs.size() > count ? runs[count - 1] : std::vector<std::string>{};
    }

    // The pid the editor of `mode` recorded, once it has.
    std::optional<uint32_t> EditorPid(const std::string& mode) const {
        std::optional<uint32_t> pid;
        Eventually([&] {
            for (const std::string& line : RecordLines()) {
                if (line.starts_with("editor " + mode + " ")) {
                    pid = static_cast<uint32_t>(std::stoul(line.substr(line.rfind("pid=") + 4)));
                }
            }
            return pid.has_value();
        });
        return pid;
    }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir desktop_;
    std::filesystem::path record_ = desktop_.path() / "record.txt";
    ruzd::testing::ScopedEnvironment environment_;
};

TEST(DesktopEntry, ExecLinesKeepTheirQuotingAndSubstituteTheFile) {
    const std::optional<DesktopEntry> entry = DesktopEntry::Parse(
        "# comment\n[Desktop Entry]\nName=A\\sB\nExec=\"/opt/my ed\" --title=\"say "
        "\\\\\"hi\\\\\"\" "
        "%i %U --x=%f%% %k\nActions=view;\n\n[Desktop Action edit]\nExec=ed %f\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->Value("Desktop Entry", "Name"), "A B");
    const std::optional<std::string> exec = entry->Exec("");
    ASSERT_TRUE(exec.has_value());
    EXPECT_EQ(ExpandExecLine(*exec, "/d/a b.txt"),
              (std::vector<std::string>{"/opt/my ed", "--title=say \"hi\"", "/d/a b.txt",
                                        "--x=/d/a b.txt%"}));
    // An action counts only when the entry lists it.
    EXPECT_EQ(entry->Exec("edit"), std::nullopt);
    EXPECT_TRUE(ExpandExecLine("\"/opt/ed %f", "x").empty());
    EXPECT_EQ(DesktopEntry::Parse("[Other]\nExec=x\n"), std::nullopt);
}

TEST_F(LaunchingTest, ATemplateGetsTheArgumentQuotedInPlaceOfItsFirstPlaceholder) {
    const std::string recorder = Program("foundation_recorder_child");
    EXPECT_TRUE(CUtilities::LaunchWithTemplate("\"" + recorder + "\" --open %s %s", "a b;$(x)"));
    EXPECT_EQ(RecorderRun(1),
              (std::vector<std::string>{"started 3", "arg --open", "arg a b;$(x)", "arg %s",
                                        "cwd " + std::filesystem::current_path().string(),
                                        "leader yes", "stdin /dev/null"}));
    // Without a placeholder the argument follows the template; without an argument nothing runs.
    EXPECT_TRUE(CUtilities::LaunchWithTemplate(recorder, "semi;colon`y`"));
    EXPECT_EQ(RecorderRun(2).at(1), "arg semi;colon`y`");
    EXPECT_FALSE(CUtilities::LaunchWithTemplate(recorder, ""));
    EXPECT_FALSE(CUtilities::LaunchWithTemplate("no-such-program-anywhere %s", "x"));
}

// Quotes, tabs and backslashes in an argument keep it one argument, wherever the template puts
// it; a file whose name starts with '-' reaches the opener and xdg-mime absolute, where no
// program reads it as an option (xdg-open and xdg-mime refuse "--").
TEST_F(LaunchingTest, ArgumentsStayWholeAndNoFileNameReadsAsAnOption) {
    const std::string recorder = Program("foundation_recorder_child");
    const std::string awkward = "say \"hi\"\tthere\\\" \\";
    EXPECT_TRUE(CUtilities::LaunchWithTemplate("\"" + recorder + "\" --open=%s", awkward));
    EXPECT_EQ(RecorderRun(1).at(0), "started 1");
    EXPECT_EQ(RecorderRun(1).at(1), "arg --open=" + awkward);
    EXPECT_TRUE(CUtilities::LaunchWithTemplate(recorder, "tab\there"));
    EXPECT_EQ(RecorderRun(2).at(0), "started 1");
    EXPECT_EQ(RecorderRun(2).at(1), "arg tab\there");
    // An empty argument in a word of its own leaves no word, as an empty path on a command line.
    EXPECT_TRUE(CUtilities::LaunchWithTemplate(recorder + " %s last", ""));
    EXPECT_EQ(RecorderRun(3).at(0), "started 1");
    EXPECT_EQ(RecorderRun(3).at(1), "arg last");

    ruzd::testing::TempWorkFolder work;
    std::ofstream("-n.txt") << "text\n";
    const std::string absolute = (std::filesystem::current_path() / "-n.txt").string();
    EXPECT_TRUE(platform::OpenWithDesktop("-n.txt"));
    EXPECT_EQ(RecorderRun(4).at(1), "arg " + absolute);
    RegisterEditor("keep", "keep");
    const std::optional<std::vector<std::string>> command = AssociatedCommand("-n.txt", false);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->back(), absolute);
}

TEST_F(LaunchingTest, ExplorerHandsTheDesktopTheFolderThatHoldsThePath) {
    MakeFile("C:\\My Docs\\note one.txt", "text\n");
    // Windows names in any case; the folder as it is on disk.
    EXPECT_TRUE(CUtilities::ShowInExplorer("c:\\my docs\\NOTE ONE.TXT"));
    const std::vector<std::string> run = RecorderRun(1);
    ASSERT_GE(run.size(), 2u);
    EXPECT_EQ(run[0], "started 1");
    EXPECT_EQ(run[1], "arg " + Host("C:\\My Docs"));
    EXPECT_FALSE(platform::OpenWithDesktop(""));
}

TEST_F(LaunchingTest, ADetachedProgramRunsInItsFolderInASessionOfItsOwn) {
    MakeFile("C:\\Work\\keep.txt", "");
    EXPECT_TRUE(CUtilities::RunDetachedInJob(
        "\"" + Program("foundation_recorder_child") + "\" one \"two three\"", "C:\\Work"));
    EXPECT_EQ(RecorderRun(1), (std::vector<std::string>{"started 2", "arg one", "arg two three",
                                                        "cwd " + Host("C:\\Work"), "leader yes",
                                                        "stdin /dev/null"}));
    EXPECT_FALSE(CUtilities::RunDetachedInJob("no-such-program-anywhere", ""));
}

// The whole round: the registered editor runs in the file's folder, the worker waits for it and
// tells the waiting thread whether the file changed.
TEST_F(LaunchingTest, EditFilePostsWhetherTheEditorChangedTheFile) {
    const std::string file = MakeFile("C:\\Texts\\letter.txt", "Dear all,\n");
    MessageReceiver receiver;
    const auto edit = [&](bool edit_verb_only) -> std::optional<intptr_t> {
        if (CUtilities::EditFile(file, edit_verb_only, receiver.id(), kEdited, 7) == 0) {
            return std::nullopt;
        }
        const std::optional<platform::Message> posted = receiver.Next();
        if (!posted || posted->id != kEdited || posted->wparam != 7) {
            return std::nullopt;
        }
        return posted->lparam;
    };

    RegisterEditor("change", "keep");
    EXPECT_EQ(edit(false), 1);
    EXPECT_TRUE(Recorded("editor change " + Host(file) + " cwd=" + Host("C:\\Texts") +
                         " pid=" + std::to_string(*EditorPid("change"))));
    RegisterEditor("keep", "change");
    EXPECT_EQ(edit(false), 0);
    // The edit-only verb takes the "edit" action, as does a program without an "open" command.
    EXPECT_EQ(edit(true), 1);
    RegisterEditor("", "keep");
    EXPECT_EQ(edit(false), 0);
    std::vector<std::string> modes;
    for (const std::string& line : RecordLines()) {
        modes.push_back(line.substr(0, line.find(' ', 7)));
    }
    EXPECT_EQ(modes, (std::vector<std::string>{"editor change", "editor keep", "editor change",
                                               "editor keep"}));

    // A file no program is registered for is not opened, and stays as it was.
    const std::string data = MakeFile("C:\\Texts\\data.bin", std::string("\x7F\x01\x02\x00", 4));
    ASSERT_NE(CUtilities::EditFile(data, receiver.id(), kEdited, 0), 0u);
    std::optional<platform::Message> posted = receiver.Next();
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->lparam, 0);
    // Without a path there is nothing to compare: changed.
    ASSERT_NE(CUtilities::EditFile("", receiver.id(), kEdited, 0), 0u);
    posted = receiver.Next();
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->lparam, 1);
}

TEST_F(LaunchingTest, AnEditorStillOpenCanBeAskedToClose) {
    const std::string file = MakeFile("C:\\Texts\\open.txt", "x\n");
    RegisterEditor("wait", "wait");
    MessageReceiver receiver;
    const uint32_t worker = CUtilities::EditFile(file, receiver.id(), kEdited, 1);
    ASSERT_NE(worker, 0u);
    // The editor has no window: it is asked by SIGTERM, ends, and the worker reports.
    EXPECT_TRUE(Eventually([&] { return CUtilities::EndStartedProgram(worker, false, 0); }));
    const std::optional<platform::Message> posted = receiver.Next();
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->lparam, 0);
    EXPECT_TRUE(Eventually([&] { return !CUtilities::IsThreadRunning(worker); }));
    EXPECT_FALSE(CUtilities::EndStartedProgram(worker, false, 0));
    EXPECT_FALSE(CUtilities::EndStartedProgram(0x7FFFFFF0, true, 0));
}

TEST_F(LaunchingTest, WithoutMessageAndReceiverTheWorkerNeitherWaitsNorPosts) {
    const std::string file = MakeFile("C:\\Texts\\quiet.txt", "x\n");
    RegisterEditor("wait", "wait");
    MessageReceiver app_thread;
    ruzd::testing::AppOnThread app(app_thread.id());
    ScopedApp installed(app);
    const uint32_t worker = CUtilities::EditFile(file, 0, 0, 0);
    ASSERT_NE(worker, 0u);
    const std::optional<uint32_t> editor = EditorPid("wait");
    ASSERT_TRUE(editor.has_value());
    EXPECT_TRUE(Eventually([&] { return !CUtilities::IsThreadRunning(worker); }));
    EXPECT_TRUE(CUtilities::IsThreadRunning(*editor));
    EXPECT_EQ(app_thread.Pending(), 0u);
    EXPECT_TRUE(CUtilities::CloseProcessWindows(*editor, true, 0));
    EXPECT_TRUE(Eventually([&] { return !CUtilities::IsThreadRunning(*editor); }));
}

TEST_F(LaunchingTest, ClosingAProgramAsksItsWindowsElseSignalsAndForcesWhenAsked) {
    ChildProgram windowed("platform_message_window_child", {"RuzdEditor", "letter.txt", "0"});
    ASSERT_EQ(windowed.ReadLine(), "ready");
    EXPECT_TRUE(CUtilities::CloseProcessWindows(static_cast<uint32_t>(windowed.pid()), false, 0));
    EXPECT_EQ(windowed.ReadLine(), "posted 0x10 0 0");
    windowed.CloseStdin();
    EXPECT_EQ(windowed.Wait(), 0);

    ChildProgram plain("foundation_editor_child", {"wait", "unused"});
    ASSERT_EQ(plain.ReadLine(), "ready");
    EXPECT_TRUE(CUtilities::CloseProcessWindows(static_cast<uint32_t>(plain.pid()), false, 0));
    EXPECT_EQ(plain.Wait(), 128 + 15);

    ChildProgram stubborn("foundation_editor_child", {"ignore-term", "unused"});
    ASSERT_EQ(stubborn.ReadLine(), "ready");
    EXPECT_TRUE(CUtilities::CloseProcessWindows(static_cast<uint32_t>(stubborn.pid()), true, 500));
    EXPECT_EQ(stubborn.Wait(), 128 + 9);

    EXPECT_FALSE(CUtilities::CloseProcessWindows(0x7FFFFFF0, false, 0));
}

TEST(Launching, ThreadsAndWaitsOfAnyThread) {
    EXPECT_TRUE(CUtilities::IsThreadRunning(platform::CurrentThreadId()));
    platform::Thread ended("ended");
    ASSERT_TRUE(ended.Start([] {}));
    ended.Join();
    EXPECT_FALSE(CUtilities::IsThreadRunning(ended.id()));
    EXPECT_FALSE(CUtilities::IsThreadRunning(0));

    platform::Event set(true, true);
    platform::Event never(true);
    EXPECT_TRUE(CUtilities::WaitForSingleObjectUsingDialog(set, 1));
    EXPECT_FALSE(CUtilities::WaitForSingleObjectUsingDialog(never, 1));
}

}  // namespace
}  // namespace ruzd::foundation
