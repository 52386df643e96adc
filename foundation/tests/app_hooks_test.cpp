#include "foundation/app_hooks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <string>

#include "platform/running_program.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;

// Points TMPDIR, the system's temporary folder, at `folder` for the life of the object.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) {
            previous_ = old;
        }
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpDir() {
        if (previous_) {
            setenv("TMPDIR", previous_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

private:
    std::optional<std::string> previous_;
};

TEST(AppHooks, OnlyTheTwoWindowModesAreWindowModes) {
    EXPECT_FALSE(AppHooks(kRunModeService, "A").IsWindowMode());
    EXPECT_FALSE(AppHooks(kRunModeHeadless, "A").IsWindowMode());
    EXPECT_TRUE(AppHooks(kRunModeWindow, "A").IsWindowMode());
    EXPECT_TRUE(AppHooks(kRunModeAttachedWindow, "A").IsWindowMode());
    EXPECT_EQ(AppHooks(kRunModeWindow, "A").GetRunMode(), kRunModeWindow);
}

TEST(AppHooks, DefaultNameIsTheProgramsBaseName) {
    AppHooks app;
    EXPECT_EQ(app.ApplicationName(), "foundation_app_hooks_test");
    EXPECT_EQ(app.GetRunMode(), kRunModeHeadless);
    EXPECT_FALSE(app.IsWindowMode());
}

TEST(AppTempFolder, IsCreatedUnderTheSystemTempFolder) {
    testing::TempDir temp;
    ScopedTmpDir tmpdir(temp.path().string());
    AppHooks app(kRunModeService, "Pelwix");
    const std::string folder = app.GetTempFolder();
    EXPECT_EQ(folder, temp.path().string() + "/Pelwix/");
    EXPECT_TRUE(fs::is_directory(temp.path() / "Pelwix"));
}

TEST(AppTempFolder, AnExistingFolderIsUsedAsItIs) {
    testing::TempDir temp;
    fs::create_directory(temp.path() / "Pelwix");
    std::ofstream(temp.path() / "Pelwix" / "keep.txt") << "x";
    ScopedTmpDir tmpdir(temp.path().string() + "/");  // a trailing separator is not doubled
    EXPECT_EQ(MakeAppTempFolder("Pelwix"), temp.path().string() + "/Pelwix/");
    EXPECT_TRUE(fs::exists(temp.path() / "Pelwix" / "keep.txt"));
}

TEST(AppTempFolder, FallsBackToTheSystemTempFolderWhenItCannotBeMade) {
    testing::TempDir temp;
    ScopedTmpDir tmpdir(temp.path().string());
    const std::string bare = temp.path().string() + "/";
    EXPECT_EQ(MakeAppTempFolder("missing/parent"), bare);

    EXPECT_EQ(MakeAppTempFolder(""), bare);
}

TEST(AppTempFolder, IsAFreshPrivateFolderWhenTheOneFoundIsNotThisUsersAlone) {
    testing::TempDir temp;
    ScopedTmpDir tmpdir(temp.path().string());
    fs::create_directory(temp.path() / "elsewhere");
    fs::create_directory_symlink(temp.path() / "elsewhere", temp.path() / "Pelwix");
    fs::create_directory(temp.path() / "Shared");
    fs::permissions(temp.path() / "Shared", fs::perms::others_write, fs::perm_options::add);
    std::ofstream(temp.path() / "Plain") << "a file, not a folder";
    for (const std::string name : {"Pelwix", "Shared", "Plain"}) {
        const std::string folder = MakeAppTempFolder(name);
        EXPECT_EQ(folder.rfind(temp.path().string() + "/" + name + ".", 0), 0u) << folder;
        EXPECT_FALSE(fs::is_symlink(fs::path(folder).parent_path()));
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
    }
    EXPECT_TRUE(fs::is_empty(temp.path() / "elsewhere"));
    // One of its own is made private from the start.
    EXPECT_EQ(MakeAppTempFolder("Own"), temp.path().string() + "/Own/");
    EXPECT_EQ(fs::status(temp.path() / "Own").permissions(), fs::perms::owner_all);
}

TEST(AppTempFolder, IsWorkedOutOnceAndKept) {
    testing::TempDir first;
    testing::TempDir second;
    std::string folder;
    AppHooks app(kRunModeService, "Pelwix");
    {
        ScopedTmpDir tmpdir(first.path().string());
        folder = app.GetTempFolder();
    }
    ScopedTmpDir tmpdir(second.path().string());
    EXPECT_EQ(app.GetTempFolder(), folder);
    EXPECT_FALSE(fs::exists(second.path() / "Pelwix"));
}

class RecordingApp : public AppHooks {
public:
    RecordingApp() : AppHooks(kRunModeWindow, "Recording") {}
    void RequestMainWindowClose() override { ++closeRequests; }
    int closeRequests = 0;
};

TEST(CurrentApp, InstalledApplicationsNestAndRestore) {
    AppHooks& fallback = CurrentApp();
    EXPECT_EQ(&CurrentApp(), &fallback);
    fallback.RequestMainWindowClose();  // the default has no window: nothing happens

    RecordingApp outer;
    {
        ScopedApp installOuter(outer);
        EXPECT_EQ(&CurrentApp(), &outer);
        EXPECT_TRUE(CurrentApp().IsWindowMode());
        CurrentApp().RequestMainWindowClose();
        EXPECT_EQ(outer.closeRequests, 1);
        {
            AppHooks inner(kRunModeService, "Inner");
            ScopedApp installInner(inner);
            EXPECT_EQ(&CurrentApp(), &inner);
        }
        EXPECT_EQ(&CurrentApp(), &outer);
    }
    EXPECT_EQ(&CurrentApp(), &fallback);
    EXPECT_EQ(InstallApp(nullptr), nullptr);
}

TEST(CurrentApp, RoutingLockIsReentrantAndExcludesOtherThreads) {
    std::recursive_mutex& lock = CurrentApp().RoutingLock();
    std::lock_guard<std::recursive_mutex> first(lock);
    {
        std::lock_guard<std::recursive_mutex> again(lock);
        const bool otherThreadGotIt = std::async(std::launch::async, [&lock] {
                                          if (!lock.try_lock()) {
                                              return false;
                                          }
                                          lock.unlock();
                                          return true;
                                      }).get();
        EXPECT_FALSE(otherThreadGotIt);
    }
}

}  // namespace
}  // namespace ruzd::foundation
