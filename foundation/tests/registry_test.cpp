#include "foundation/registry.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "foundation/dialogic_install.h"
#include "platform/child_process.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using platform::RegAccess;
using platform::RegistryKey;

std::string Sz(std::string_view text) {
    return platform::Utf8ToUtf16leBytes(text) + std::string(2, '\0');
}

// Stores a value of any type and bytes in the node's section, as another program might.
void Store(std::string_view name, uint32_t type, const std::string& data) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("Software\\Ruzd\\Pelwix",
                                                       RegAccess::kAllAccess, &key),
              platform::kErrorSuccess);
    ASSERT_EQ(key.SetValue(name, type, data.data(), static_cast<uint32_t>(data.size())),
              platform::kErrorSuccess);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The read-with-default pattern of every caller.
uint32_t PortSetting(CRegistry& registry) {
    uint32_t port = 0;
    if (!registry.ReadDword("Local TCP port", &port)) {
        port = 9070;
        registry.WriteDword("Local TCP port", port);
    }
    return port;
}

TEST(CRegistry, OpensItsSectionAndANullSectionIsDefault) {
    testing::TempRoot root;
    CRegistry unnamed(nullptr);
    ASSERT_TRUE(unnamed.IsOpen());
    ASSERT_TRUE(unnamed.WriteDword("x", 1));
    RegistryKey key;
    EXPECT_EQ(
        RegistryKey::LocalMachine().OpenSubKey("Software\\Ruzd\\Default", RegAccess::kRead, &key),
        platform::kErrorSuccess);

    CRegistry node("Pelwix");
    EXPECT_EQ(
        RegistryKey::LocalMachine().OpenSubKey("Software\\Ruzd\\Pelwix", RegAccess::kRead, &key),
        platform::kErrorSuccess);
}

TEST(CRegistry, DefaultsAreWrittenBackOnFirstUseAndReadAfterwards) {
    testing::TempRoot root;
    {
        CRegistry registry("Pelwix");
        EXPECT_EQ(PortSetting(registry), 9070u);
    }
    EXPECT_NE(ReadFile(platform::RegistryStore::StorePath())
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"
                        "\"Local TCP port\"=dword:0000236e\n"),
              std::string::npos);
    CRegistry first("Pelwix");
    CRegistry second("pelwix");  // a second object on the same section sees the first's writes
    ASSERT_TRUE(first.WriteDword("Local TCP port", 9170));
    EXPECT_EQ(PortSetting(second), 9170u);
}

TEST(CRegistry, ReadStringTakesTheTextTypesUpToTheFirstNull) {
    testing::TempRoot root;
    Store("Multi", platform::kRegMultiSz, Sz("first") + Sz("second") + std::string(2, '\0'));
    Store("Expand", platform::kRegExpandSz, Sz("%TEMP%\\x"));
    Store("No null", platform::kRegSz, platform::Utf8ToUtf16leBytes("bare"));
    Store("Empty text", platform::kRegSz, Sz(""));
    Store("Zero bytes", platform::kRegSz, "");
    Store("Number", platform::kRegDword, std::string("\x01\x00\x00\x00", 4));
    Store("Binary", platform::kRegBinary, Sz("text"));
    CRegistry registry("Pelwix");

    std::string value = "untouched";
    EXPECT_TRUE(registry.ReadString("multi", value));
    EXPECT_EQ(value, "first");
    EXPECT_TRUE(registry.ReadString("Expand", value));
    EXPECT_EQ(value, "%TEMP%\\x");
    EXPECT_TRUE(registry.ReadString("No null", value));
    EXPECT_EQ(value, "bare");
    EXPECT_TRUE(registry.ReadString("Empty text", value));
    EXPECT_EQ(value, "");

    value = "untouched";
    EXPECT_FALSE(registry.ReadString("Zero bytes", value));
    EXPECT_FALSE(registry.ReadString("Number", value));
    EXPECT_FALSE(registry.ReadString("Binary", value));
    EXPECT_FALSE(registry.ReadString("Missing", value));
    EXPECT_EQ(value, "untouched");
}

TEST(CRegistry, ReadDwordTakesAnyValueOfFourBytesOrFewerButText) {
    testing::TempRoot root;
    Store("Sz of four bytes", platform::kRegSz, Sz("A"));
    Store("Sz of two bytes", platform::kRegSz, Sz(""));
    Store("Sz of six bytes", platform::kRegSz, Sz("AB"));
    Store("Expand", platform::kRegExpandSz, Sz("1"));
    Store("Binary", platform::kRegBinary, std::string("\x05\x01", 2));
    Store("Qword", platform::kRegQword, std::string(8, '\x01'));
    CRegistry registry("Pelwix");
    ASSERT_TRUE(registry.WriteDword("Number", 0xDEADBEEF));

    uint32_t value = 0xFFFFFFFF;
    EXPECT_TRUE(registry.ReadDword("Number", &value));
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_TRUE(registry.ReadDword("Binary", &value));
    EXPECT_EQ(value, 0x105u);

    // Text is no number whatever its length: "A" is not 65, "" not 0.
    value = 7;
    EXPECT_FALSE(registry.ReadDword("Sz of four bytes", &value));
    EXPECT_FALSE(registry.ReadDword("Sz of two bytes", &value));
    EXPECT_FALSE(registry.ReadDword("Expand", &value));
    EXPECT_FALSE(registry.ReadDword("Sz of six bytes", &value));
    EXPECT_FALSE(registry.ReadDword("Qword", &value));
    EXPECT_FALSE(registry.ReadDword("Missing", &value));
    EXPECT_FALSE(registry.ReadDword("Number", nullptr));
    EXPECT_EQ(value, 7u);
}

TEST(CRegistry, TheDefaultNeverReplacesAValueOfAnotherType) {
    testing::TempRoot root;
    const std::string written =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"
        "\"Local TCP port\"=\"21070\"\n"
        "\"Debug Directory\"=dword:00000001\n"
        "\"Max Connections\"=hex(b):01,00,00,00,00,00,00,00\n";
    {
        std::ofstream out(platform::RegistryStore::StorePath(), std::ios::binary);
        out << written;
    }
    CRegistry registry("Pelwix");
    // The read-with-default pattern runs on the default and leaves the user's line alone.
    EXPECT_EQ(PortSetting(registry), 9070u);
    EXPECT_FALSE(registry.WriteString("Debug Directory", ".\\debug\\"));
    EXPECT_FALSE(registry.WriteDword("Max Connections", 32));
    EXPECT_EQ(ReadFile(platform::RegistryStore::StorePath()), written);

    // Values of the kind written are replaced as ever, also those of another text type.
    Store("Expand", platform::kRegExpandSz, Sz("%TEMP%"));
    Store("Binary", platform::kRegBinary, std::string("\x05", 1));
    EXPECT_TRUE(registry.WriteString("Expand", "plain"));
    EXPECT_TRUE(registry.WriteDword("Binary", 6));
    std::string text;
    uint32_t number = 0;
    EXPECT_TRUE(registry.ReadString("Expand", text));
    EXPECT_EQ(text, "plain");
    EXPECT_TRUE(registry.ReadDword("Binary", &number));
    EXPECT_EQ(number, 6u);
}

TEST(CRegistry, WritesStringsAsTerminatedUtf16) {
    testing::TempRoot root;
    CRegistry registry("Pelwix");
    const std::string text = "C:\\Ruzd\\Caf\xC3\xA9 \xE2\x82\xAC";
    ASSERT_TRUE(registry.WriteString("Debug Directory", text));
    std::string back;
    ASSERT_TRUE(registry.ReadString("debug directory", back));
    EXPECT_EQ(back, text);

    char raw[64] = {};
    EXPECT_TRUE(registry.ReadRaw("Debug Directory", raw, sizeof raw));
    EXPECT_EQ(std::string(raw, Sz(text).size()), Sz(text));
    EXPECT_FALSE(registry.ReadRaw("Debug Directory", raw, 4));  // does not fit
    EXPECT_FALSE(registry.ReadRaw("Missing", raw, sizeof raw));
    EXPECT_TRUE(registry.ReadRaw("Debug Directory", nullptr, 0));  // size only
}

TEST(CRegistry, DeleteKeyRemovesOnlyLeaves) {
    testing::TempRoot root;
    CRegistry registry("Pelwix");
    RegistryKey leaf;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("Software\\Ruzd\\Pelwix\\Parent\\Leaf",
                                                       RegAccess::kRead, &leaf),
              platform::kErrorSuccess);
    EXPECT_FALSE(registry.DeleteKey("Parent"));
    EXPECT_TRUE(registry.DeleteKey("Parent\\Leaf"));
    EXPECT_TRUE(registry.DeleteKey("Parent"));
    EXPECT_FALSE(registry.DeleteKey("Parent"));
}

TEST(CRegistry, EnumValueWalksTheValuesInOrder) {
    testing::TempRoot root;
    CRegistry registry("Pelwix");
    ASSERT_TRUE(registry.WriteDword("Local TCP port", 9070));
    ASSERT_TRUE(registry.WriteString("Remote Vesmarin Address", "127.0.0.1"));

    std::string name;
    unsigned char data[32];
    uint32_t length = sizeof data;
    ASSERT_TRUE(registry.EnumValue(0, &name, data, &length));
    EXPECT_EQ(name, "Local TCP port");
    EXPECT_EQ(length, 4u);
    length = 4;
    EXPECT_FALSE(registry.EnumValue(1, &name, data, &length));  // needs 20 bytes
    EXPECT_EQ(length, 20u);
    ASSERT_TRUE(registry.EnumValue(1, &name, nullptr, nullptr));
    EXPECT_EQ(name, "Remote Vesmarin Address");
    EXPECT_FALSE(registry.EnumValue(2, &name, nullptr, nullptr));
    EXPECT_FALSE(registry.EnumValue(0, &name, data, nullptr));
}

// --- A process without the rights to change the registry -------------------------------------

TEST(CRegistry, WithoutRightsEveryOperationFailsAndCallersUseTheirDefaults) {
    testing::TempRoot root;
    {
        CRegistry registry("Pelwix");
        ASSERT_TRUE(registry.WriteDword("Local TCP port", 1234));
        ASSERT_TRUE(registry.WriteString("Remote Vesmarin Address", "10.0.0.1"));
        RegistryKey release;
        ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("Software\\Dialogic\\System Information",
                                                           RegAccess::kAllAccess, &release),
                  platform::kErrorSuccess);
        const std::string name = Sz("R1");
        ASSERT_EQ(release.SetValue("ActiveSystemRelease", platform::kRegSz, name.data(),
                                   static_cast<uint32_t>(name.size())),
                  platform::kErrorSuccess);
        ASSERT_EQ(release.CreateSubKey("R1", RegAccess::kAllAccess, &release),
                  platform::kErrorSuccess);
        const std::string version = Sz("6.0");
        ASSERT_EQ(release.SetValue("Product Version", platform::kRegSz, version.data(),
                                   static_cast<uint32_t>(version.size())),
                  platform::kErrorSuccess);
    }
    const std::string before = ReadFile(platform::RegistryStore::StorePath());

    // Run as root, the child becomes "nobody" on a root folder it may read but not write;
    // otherwise the folder is made read-only for the user running the tests.
    namespace fs = std::filesystem;
    const fs::perms readable = fs::perms::owner_read | fs::perms::owner_exec |
                               fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
    const fs::perms writable = readable | fs::perms::owner_write;
    std::error_code error;
    fs::permissions(root.path(), testing::RunningAsRoot() ? writable : readable, error);
    ASSERT_FALSE(error) << error.message();
    const int exitCode = testing::RunProgram(
        {.program = testing::ProgramFolder() / "foundation_registry_no_rights_child"});
    fs::permissions(root.path(), writable, error);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFile(platform::RegistryStore::StorePath()), before);
}

}  // namespace
}  // namespace ruzd::foundation
