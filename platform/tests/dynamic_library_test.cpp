#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include "platform/win_error.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {
namespace fs = std::filesystem;

// Points the vendor folder at the one holding the test library RuzdSample.so.
class DynamicLibraryTest : public ::testing::Test {
protected:
    DynamicLibraryTest() { ::setenv("RUZD_VENDOR_DIR", RUZD_TEST_VENDOR_DIR, 1); }
    ~DynamicLibraryTest() override { ::unsetenv("RUZD_VENDOR_DIR"); }

    static bool StillMapped(const fs::path& file) {
        void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr) {
            ::dlclose(handle);
        }
        return handle != nullptr;
    }

    const fs::path sample_ = fs::path(RUZD_TEST_VENDOR_DIR) / "RuzdSample.so";
};

TEST_F(DynamicLibraryTest, LoadsADllNameFromTheVendorFolderAndBindsSymbols) {
    DynamicLibrary library;
    ASSERT_TRUE(library.Load("RuzdSample.dll")) << library.error_text();
    EXPECT_EQ(library.path(), sample_);
    auto* add = library.Bind<int(int, int)>("RuzdSampleAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
}

TEST_F(DynamicLibraryTest, NamesAreMatchedWithoutRegardToCase) {
    for (const char* name : {"ruzdsample.DLL", "RUZDSAMPLE.dll", "RuzdSample"}) {
        DynamicLibrary library;
        EXPECT_TRUE(library.Load(name)) << name << ": " << library.error_text();
        EXPECT_EQ(library.path(), sample_) << name;
    }
}

TEST_F(DynamicLibraryTest, SymbolsStayLocalToTheLibrary) {
    DynamicLibrary library;
    ASSERT_TRUE(library.Load("RuzdSample.dll"));
    EXPECT_EQ(::dlsym(RTLD_DEFAULT, "RuzdSampleAdd"), nullptr);
}

TEST_F(DynamicLibraryTest, AMissingSymbolSetsProcNotFound) {
    DynamicLibrary library;
    ASSERT_TRUE(library.Load("RuzdSample.dll"));
    SetLastError(kErrorSuccess);
    EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorProcNotFound);
    EXPECT_NE(library.error_text().find("NoSuchExport"), std::string::npos);
    EXPECT_TRUE(library.loaded());

    DynamicLibrary empty;
    EXPECT_EQ(empty.Symbol("RuzdSampleAdd"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorProcNotFound);
}

TEST_F(DynamicLibraryTest, NamesWithAPathAreRefused) {
    for (std::string_view name : {"sub/RuzdSample.dll", "..\\RuzdSample.dll", "C:RuzdSample.dll",
                                  "/usr/lib/RuzdSample.dll", "", ".", ".."}) {
        DynamicLibrary library;
        SetLastError(kErrorSuccess);
        EXPECT_FALSE(library.Load(name)) << name;
        EXPECT_EQ(GetLastError(), kErrorModNotFound) << name;
        EXPECT_FALSE(library.loaded());
        EXPECT_FALSE(library.error_text().empty());
    }
    EXPECT_FALSE(DynamicLibrary().Load(std::string_view("RuzdSample\0x", 12)));
}

// System libraries of the same name must never be picked up by the search path: zlib's
// libz.so is on this machine (the build needs it) and Debian's garbage collector may be too.
TEST_F(DynamicLibraryTest, ASystemLibraryIsNeverLoadedByBareName) {
    void* system_zlib = ::dlopen("libz.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(system_zlib, nullptr) << "the test needs the system's libz.so";
    ::dlclose(system_zlib);
    for (const char* name : {"libz.dll", "libgc.dll", "libc.dll"}) {
        DynamicLibrary library;
        SetLastError(kErrorSuccess);
        EXPECT_FALSE(library.Load(name)) << name;
        EXPECT_EQ(GetLastError(), kErrorModNotFound);
        EXPECT_NE(library.error_text().find(RUZD_TEST_VENDOR_DIR), std::string::npos)
            << library.error_text();
    }
}

TEST_F(DynamicLibraryTest, FreeAndTheDestructorUnload) {
    {
        DynamicLibrary library;
        ASSERT_TRUE(library.Load("RuzdSample.dll"));
        EXPECT_TRUE(StillMapped(sample_));
        EXPECT_TRUE(library.Free());
        EXPECT_FALSE(library.loaded());
        EXPECT_FALSE(StillMapped(sample_));
        EXPECT_TRUE(library.Free());  // nothing left to free
        ASSERT_TRUE(library.Load("RuzdSample.dll"));
    }
    EXPECT_FALSE(StillMapped(sample_));
}

TEST_F(DynamicLibraryTest, MovingHandsTheLibraryOver) {
    DynamicLibrary first;
    ASSERT_TRUE(first.Load("RuzdSample.dll"));
    DynamicLibrary second(std::move(first));
    EXPECT_FALSE(first.loaded());
    ASSERT_TRUE(second.loaded());
    EXPECT_NE(second.Symbol("RuzdSampleAdd"), nullptr);

    DynamicLibrary third;
    third = std::move(second);
    EXPECT_TRUE(third.loaded());
    third = DynamicLibrary();
    EXPECT_FALSE(StillMapped(sample_));
}

TEST(DynamicLibraryPath, DefaultsToTheVendorFolderOfTheRoot) {
    ruzd::testing::TempRoot root;
    ::unsetenv("RUZD_VENDOR_DIR");
    EXPECT_EQ(DynamicLibrary::LibraryPath("XDSlibsc.dll"), root.path() / "vendor" / "XDSlibsc.so");
    EXPECT_EQ(DynamicLibrary::LibraryPath("a.drv"), root.path() / "vendor" / "a.drv.so");
    EXPECT_EQ(DynamicLibrary::LibraryPath(".dll"), root.path() / "vendor" / ".dll.so");
}

}  // namespace
}  // namespace ruzd::platform
