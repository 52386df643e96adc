#include "platform/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/reg_file.h"
#include "platform/reg_text_form.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

using ::testing::HasSubstr;

std::string Sz(std::string_view text) {
    return Utf8ToUtf16leBytes(text) + std::string(2, '\0');
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string result;
    for (int b : bytes) {
        result += static_cast<char>(b);
    }
    return result;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

RegistryKey CreateKey(std::string_view path) {
    RegistryKey key;
    EXPECT_EQ(RegistryKey::LocalMachine().CreateSubKey(path, RegAccess::kAllAccess, &key),
              kErrorSuccess);
    return key;
}

uint32_t Set(const RegistryKey& key, std::string_view name, uint32_t type,
             const std::string& data) {
    return key.SetValue(name, type, data.data(), static_cast<uint32_t>(data.size()));
}

// Type and bytes of a value, or the error.
struct Queried {
    uint32_t error = 0;
    uint32_t type = 0;
    std::string data;
};

Queried Query(const RegistryKey& key, std::string_view name) {
    Queried result;
    uint32_t size = 0;
    result.error = key.QueryValue(name, &result.type, nullptr, &size);
    if (result.error == kErrorSuccess) {
        result.data.resize(size);
        result.error = key.QueryValue(name, nullptr, result.data.data(), &size);
    }
    return result;
}

uint32_t QueryDword(const RegistryKey& key, std::string_view name) {
    uint32_t value = 0;
    uint32_t size = sizeof value;
    return key.QueryValue(name, nullptr, &value, &size) == kErrorSuccess ? value : 0;
}

// --- The text form ---------------------------------------------------------------------------

TEST(RegFile, EveryValueTypeSurvivesTheTextForm) {
    RegNode root("");
    RegNode* key = root.AddSubkey("Software")->AddSubkey("Ruzd")->AddSubkey("Pelwix");
    key->SetValue("", kRegSz, Sz("default"));
    key->SetValue("Local TCP port", kRegDword, Bytes({0x5e, 0x23, 0, 0}));
    key->SetValue("Debug Directory", kRegSz, Sz("C:\\Ruzd\\\"Logging\"\\"));
    key->SetValue("Unicode \xE2\x82\xAC", kRegSz, Sz("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    key->SetValue("Expand", kRegExpandSz, Sz("%TEMP%\\x"));
    key->SetValue("Multi", kRegMultiSz, Sz("one") + Sz("two") + std::string(2, '\0'));
    key->SetValue("Binary", kRegBinary, Bytes({0, 1, 0xfe, 0xff}));
    key->SetValue("Empty binary", kRegBinary, "");
    key->SetValue("Qword", kRegQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    key->SetValue("None", kRegNone, Bytes({9}));
    key->SetValue("Odd type", 0x12345, Bytes({7}));
    key->SetValue("Short dword", kRegDword, Bytes({1, 2}));
    key->SetValue("Sz without null", kRegSz, Utf8ToUtf16leBytes("abc"));
    key->SetValue("Sz with odd size", kRegSz, "abc");
    key->SetValue("Sz with line break", kRegSz, Sz("a\r\nb"));
    key->SetValue("Sz with inner null", kRegSz, Sz("a") + Sz("b"));
    key->SetValue("Long", kRegBinary, std::string(100, '\x5a'));
    root.AddSubkey("Software")->AddSubkey("Empty key");

    const std::string text = FormatRegFile(root);
    EXPECT_THAT(text, ::testing::StartsWith("Windows Registry Editor Version 5.00\n\n"));
    EXPECT_THAT(text, HasSubstr("[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"));
    EXPECT_THAT(text, HasSubstr("[HKEY_LOCAL_MACHINE\\Software\\Empty key]\n"));
    EXPECT_THAT(text, HasSubstr("\n@=\"default\"\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Local TCP port\"=dword:0000235e\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Debug Directory\"=\"C:\\\\Ruzd\\\\\\\"Logging\\\"\\\\\"\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,"
                                "78,00,00,00\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Binary\"=hex:00,01,fe,ff\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Empty binary\"=hex:\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Odd type\"=hex(12345):07\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Short dword\"=hex(4):01,02\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Sz without null\"=hex(1):61,00,62,00,63,00\n"));
    EXPECT_THAT(text, HasSubstr(",\\\n  5a,"));  // long lists are continued
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }

    RegNode parsed("");
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, &parsed, &error)) << error;
    EXPECT_EQ(FormatRegFile(parsed), text);
    const RegNode* back = parsed.Find({"software", "RUZD", "pelwix"});
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->values().size(), key->values().size());
    for (size_t i = 0; i < key->values().size(); ++i) {
        EXPECT_EQ(back->values()[i].name, key->values()[i].name);
        EXPECT_EQ(back->values()[i].type, key->values()[i].type) << key->values()[i].name;
        EXPECT_EQ(back->values()[i].data, key->values()[i].data) << key->values()[i].name;
    }
    EXPECT_NE(parsed.Find({"Software", "Empty key"}), nullptr);
}

TEST(RegFile, ReadsWhatTheRegistryEditorWrites) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Dialogic\\Configuration]\r\n"
        "\"DNASDKDIR\"=\"C:\\\\Program Files\\\\Dialogic\\\\\"\r\n"
        "\"Path\"=hex(2):43,00,3a,00,\\\r\n"
        "  5c,00,00,00\r\n"
        "\"Count\"=dword:0000000A\r\n"
        "\r\n"
        "[hkey_local_machine\\Software\\Dialogic\\Configuration]\r\n"
        "\"count\"=dword:b\r\n";
    RegNode root("");
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, &root, &error)) << error;
    const RegNode* key = root.Find({"Software", "Dialogic", "Configuration"});
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values().size(), 3u);
    EXPECT_EQ(key->FindValue("dnasdkdir")->data, Sz("C:\\Program Files\\Dialogic\\"));
    EXPECT_EQ(key->FindValue("Path")->type, kRegExpandSz);
    EXPECT_EQ(key->FindValue("Path")->data, Sz("C:\\"));
    // A later section of the same key adds to it; the value keeps its first spelling.
    EXPECT_EQ(key->values()[2].name, "Count");
    EXPECT_EQ(key->FindValue("Count")->data, Bytes({0x0b, 0, 0, 0}));
    // Each value knows the line it stands on (the first of a continued one, the last that set
    // it).
    EXPECT_EQ(key->FindValue("DNASDKDIR")->line, 5u);
    EXPECT_EQ(key->FindValue("Path")->line, 6u);
    EXPECT_EQ(key->FindValue("Count")->line, 11u);
}

TEST(RegFile, RefusesTextThatIsNotAStore) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string section = "[HKEY_LOCAL_MACHINE\\a]\n";
    for (const std::string& text : {
             std::string("REGEDIT4\n"),
             header + "\"a\"=dword:1\n",                 // value outside a key
             header + "[HKEY_CURRENT_USER\\a]\n",        // other hive
             header + "[HKEY_LOCAL_MACHINE\\a\\\\b]\n",  // empty key name
             header + "[HKEY_LOCAL_MACHINE\\a\n",        // no ']'
             header + section + "\"a\"=\"unterminated\n",
             header + section + "\"a\"=\"text\" trailing\n",
             header + section + "\"a\"=dword:123456789\n",  // nine digits
             header + section + "\"a\"=dword:xyz\n", header + section + "\"a\"=hex:1,2g\n",
             header + section + "\"a\"=hex(zz):01\n", header + section + "\"a\"\n",
             header + section + "a=dword:1\n", header + section + "\"a\"=-\n",
             header + section + "\\\n\n",    // a lone continuation, then nothing
             header + section + "\\\n",      // a lone continuation at the end
             header + section + "\\\n\\\n",  // continuations only
         }) {
        RegNode root("");
        std::string error;
        EXPECT_FALSE(ParseRegFile(text, &root, &error)) << text;
        EXPECT_THAT(error, HasSubstr("line ")) << text;
    }
    RegNode empty("");
    EXPECT_TRUE(ParseRegFile("", &empty));
    EXPECT_TRUE(empty.subkeys().empty());
}

TEST(RegFile, ReadsUtf16FromTheRegistryEditorAndNamesTheLineOfABadEncoding) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string section = "[HKEY_LOCAL_MACHINE\\Software\\Ruzd]\r\n";
    const std::string mark = "\xFF\xFE";
    const std::string regedit =
        mark + Utf8ToUtf16leBytes(header + section + "\"Folder\"=\"C:\\\\caf\xC3\xA9\"\r\n");
    RegNode root("");
    std::string error;
    RegTextForm form;
    ASSERT_TRUE(ParseRegFile(regedit, &root, &error, &form)) << error;
    EXPECT_EQ(form, (RegTextForm{RegTextForm::Encoding::kUtf16leWithBom, true}));
    EXPECT_EQ(root.Find({"Software", "Ruzd"})->FindValue("Folder")->data, Sz("C:\\caf\xC3\xA9"));
    EXPECT_THAT(FormatRegFile(root, form),
                ::testing::StartsWith(mark + Utf8ToUtf16leBytes(header)));

    struct Bad {
        std::string bytes;
        std::string error;
    };
    for (const Bad& bad : std::vector<Bad>{
             {mark + Utf8ToUtf16leBytes(header + section + "\"a\"=\"") + Bytes({0x00, 0xD8}) +
                  Utf8ToUtf16leBytes("\"\r\n"),
              "line 4: an unpaired surrogate in UTF-16LE text: \"a\"=\"\xEF\xBF\xBD\""},
             {mark + Utf8ToUtf16leBytes(header) + "[", "line 3: UTF-16LE text ends in half a"},
             {"\xFE\xFF" + header, "line 1: UTF-16 big-endian text"},
             {header + section + "\"a\"=\"caf\xE9\"\r\n",
              "line 4: not UTF-8 text: \"a\"=\"caf\\xe9\""},
             {header + section + "no\tkey\r\n", "line 4: neither a key nor a value: no\\x09key"},
         }) {
        RegNode refused("");
        EXPECT_FALSE(ParseRegFile(bad.bytes, &refused, &error));
        EXPECT_THAT(error, HasSubstr(bad.error));
    }
}

// --- Keys and values through the store -------------------------------------------------------

TEST(RegistryKey, CreateReportsWhetherTheKeyIsNewAndKeepsTheFirstSpelling) {
    testing::TempRoot root;
    RegistryKey key;
    RegDisposition disposition{};
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("Software\\Ruzd\\Pelwix",
                                                       RegAccess::kAllAccess, &key, &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, RegDisposition::kCreatedNewKey);
    EXPECT_EQ(key.Path(), "Software\\Ruzd\\Pelwix");

    RegistryKey again;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("SOFTWARE\\ruzd\\PELWIX\\",
                                                       RegAccess::kAllAccess, &again, &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, RegDisposition::kOpenedExistingKey);
    EXPECT_EQ(again.Path(), "Software\\Ruzd\\Pelwix");

    RegistryKey child;
    ASSERT_EQ(key.CreateSubKey("Sub\\Leaf", RegAccess::kRead, &child, &disposition), kErrorSuccess);
    EXPECT_EQ(disposition, RegDisposition::kCreatedNewKey);
    EXPECT_EQ(child.Path(), "Software\\Ruzd\\Pelwix\\Sub\\Leaf");

    RegistryKey missing;
    EXPECT_EQ(
        RegistryKey::LocalMachine().OpenSubKey("Software\\Nothing", RegAccess::kRead, &missing),
        kErrorFileNotFound);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(RegistryKey::LocalMachine().OpenSubKey("\\Software", RegAccess::kRead, &missing),
              kErrorBadPathname);
    EXPECT_EQ(RegistryKey::LocalMachine().CreateSubKey("a\\\\b", RegAccess::kRead, &missing),
              kErrorBadPathname);
    EXPECT_EQ(
        RegistryKey::LocalMachine().CreateSubKey(std::string(256, 'k'), RegAccess::kRead, &missing),
        kErrorInvalidParameter);
    EXPECT_EQ(RegistryKey::LocalMachine().CreateSubKey("line\nbreak", RegAccess::kRead, &missing),
              kErrorInvalidParameter);
    // A name that is no UTF-8 would leave a store that cannot be read again.
    EXPECT_EQ(RegistryKey::LocalMachine().CreateSubKey("caf\xE9", RegAccess::kRead, &missing),
              kErrorInvalidParameter);
    EXPECT_EQ(Set(key, "caf\xE9", kRegDword, Bytes({1, 0, 0, 0})), kErrorInvalidParameter);
}

TEST(RegistryKey, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "Local TCP Port", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    ASSERT_EQ(Set(key, "LOCAL TCP PORT", kRegDword, Bytes({2, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, "local tcp port"), 2u);
    std::string name;
    ASSERT_EQ(key.EnumValue(0, &name, nullptr, nullptr, nullptr), kErrorSuccess);
    EXPECT_EQ(name, "Local TCP Port");
    EXPECT_EQ(key.EnumValue(1, &name, nullptr, nullptr, nullptr), kErrorNoMoreItems);
    EXPECT_THAT(ReadFile(RegistryStore::StorePath()),
                HasSubstr("\"Local TCP Port\"=dword:00000002\n"));
}

TEST(RegistryKey, QueryReportsSizesAndMoreData) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    const std::string text = Sz("C:\\Ruzd");  // 16 bytes
    ASSERT_EQ(Set(key, "Debug Directory", kRegSz, text), kErrorSuccess);

    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(key.QueryValue("Debug Directory", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, text.size());

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(key.QueryValue("Debug Directory", nullptr, small, &size), kErrorMoreData);
    EXPECT_EQ(size, text.size());
    EXPECT_EQ(std::string(small, 4), "xxxx");

    char exact[16];
    size = sizeof exact;
    EXPECT_EQ(key.QueryValue("Debug Directory", nullptr, exact, &size), kErrorSuccess);
    EXPECT_EQ(std::string(exact, size), text);

    EXPECT_EQ(key.QueryValue("Debug Directory", nullptr, exact, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(key.QueryValue("Missing", &type, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(key.QueryValue("Debug Directory", nullptr, nullptr, nullptr), kErrorSuccess);

    // The default value is the empty name.
    ASSERT_EQ(Set(key, "", kRegDword, Bytes({7, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, ""), 7u);
    EXPECT_THAT(ReadFile(RegistryStore::StorePath()), HasSubstr("\n@=dword:00000007\n"));
}

TEST(RegistryKey, EnumeratesValuesInOrderAndSubKeysByName) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "b", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    ASSERT_EQ(Set(key, "a", kRegBinary, Bytes({1, 2, 3, 4, 5})), kErrorSuccess);
    ASSERT_EQ(Set(key, "c", kRegSz, Sz("x")), kErrorSuccess);

    std::string name;
    uint32_t type = 0;
    char data[8];
    uint32_t size = 2;
    EXPECT_EQ(key.EnumValue(1, &name, &type, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 5u);
    size = sizeof data;
    ASSERT_EQ(key.EnumValue(1, &name, &type, data, &size), kErrorSuccess);
    EXPECT_EQ(name, "a");
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(std::string(data, size), Bytes({1, 2, 3, 4, 5}));
    ASSERT_EQ(key.EnumValue(2, &name, nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(name, "c");
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.EnumValue(3, &name, nullptr, nullptr, nullptr), kErrorNoMoreItems);
    EXPECT_EQ(key.EnumValue(0, &name, nullptr, data, nullptr), kErrorInvalidParameter);

    RegistryKey sub;
    for (const char* child : {"zeta", "Alpha", "beta"}) {
        ASSERT_EQ(key.CreateSubKey(child, RegAccess::kRead, &sub), kErrorSuccess);
    }
    std::vector<std::string> names;
    for (uint32_t i = 0; key.EnumSubKey(i, &name) == kErrorSuccess; ++i) {
        names.push_back(name);
    }
    EXPECT_THAT(names, ::testing::ElementsAre("Alpha", "beta", "zeta"));
    EXPECT_EQ(key.EnumSubKey(3, &name), kErrorNoMoreItems);
}

TEST(RegistryKey, DeleteRules) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    RegistryKey leaf;
    ASSERT_EQ(key.CreateSubKey("Parent\\Leaf", RegAccess::kAllAccess, &leaf), kErrorSuccess);
    ASSERT_EQ(Set(leaf, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);

    EXPECT_EQ(key.DeleteSubKey("Parent"), kErrorAccessDenied);  // it has a sub-key
    EXPECT_EQ(key.DeleteSubKey("Missing"), kErrorFileNotFound);
    EXPECT_EQ(key.DeleteSubKey(""), kErrorInvalidParameter);
    EXPECT_EQ(key.DeleteSubKey("parent\\LEAF"), kErrorSuccess);
    EXPECT_EQ(key.DeleteSubKey("Parent\\Leaf"), kErrorFileNotFound);
    // A handle to a deleted key stays valid as an object but finds its key gone.
    EXPECT_EQ(Query(leaf, "v").error, kErrorKeyDeleted);
    EXPECT_EQ(Set(leaf, "v", kRegDword, Bytes({2, 0, 0, 0})), kErrorKeyDeleted);
    EXPECT_EQ(key.DeleteSubKey("Parent"), kErrorSuccess);

    ASSERT_EQ(Set(key, "gone", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(key.DeleteValue("GONE"), kErrorSuccess);
    EXPECT_EQ(key.DeleteValue("gone"), kErrorFileNotFound);
    EXPECT_EQ(Query(key, "gone").error, kErrorFileNotFound);
}

TEST(RegistryKey, AccessRules) {
    testing::TempRoot root;
    CreateKey("Software\\Ruzd\\Pelwix");
    RegistryKey reader;
    ASSERT_EQ(
        RegistryKey::LocalMachine().OpenSubKey("Software\\Ruzd\\Pelwix", RegAccess::kRead, &reader),
        kErrorSuccess);
    EXPECT_EQ(Set(reader, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorAccessDenied);
    EXPECT_EQ(reader.DeleteValue("v"), kErrorAccessDenied);
    RegistryKey child;
    EXPECT_EQ(reader.CreateSubKey("New", RegAccess::kRead, &child), kErrorAccessDenied);

    RegistryKey closed;
    EXPECT_EQ(Query(closed, "v").error, kErrorInvalidHandle);
    EXPECT_EQ(closed.OpenSubKey("", RegAccess::kRead, &child), kErrorInvalidHandle);

    RegistryKey moved = std::move(reader);
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_FALSE(reader.IsOpen());  // NOLINT(bugprone-use-after-move): moving closes the source
    moved.Close();
    EXPECT_EQ(moved.EnumSubKey(0, nullptr), kErrorInvalidHandle);
}

TEST(RegistryKey, SeesChangesMadeToTheFileAndRefusesToOverwriteABrokenOne) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, "v"), 1u);

    // An edit by hand (a different file of another size) is picked up by the next read.
    WriteFile(RegistryStore::StorePath(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n\"v\"=dword:00000102\n\"w\"=hex:01\n");
    EXPECT_EQ(QueryDword(key, "v"), 0x102u);

    const std::string broken = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\x\n";
    WriteFile(RegistryStore::StorePath(), broken);
    EXPECT_EQ(Query(key, "v").error, kErrorInvalidData);
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({3, 0, 0, 0})), kErrorInvalidData);
    EXPECT_EQ(ReadFile(RegistryStore::StorePath()), broken);
    EXPECT_EQ(RegistryStore::Problem(),
              "Cannot read the registry file " + RegistryStore::StorePath().string() +
                  " (left as it is): line 2: section without ']': [HKEY_LOCAL_MACHINE\\x");
}

// Every change of the registry takes the store's lock: another account that could hold it would
// stall the node's settings, so it is the owner's alone.
TEST(RegistryStore, TheLockIsItsOwnersAlone) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may act as another account";
    testing::TempRoot root;
    std::filesystem::permissions(root.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    const std::filesystem::path lock = RegistryStore::StorePath().string() + ".lock";
    // An older build left the lock open to everyone.
    std::filesystem::permissions(lock, std::filesystem::perms(0644));
    ASSERT_EQ(testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", "-s", lock.string(), "/usr/bin/true"}),
              0);
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(std::filesystem::status(lock).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
    EXPECT_NE(testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", "-s", lock.string(), "/usr/bin/true"}),
              0);
}

// A lock file of another account is refused at once, its owner named, though root could open
// it: the other account may hold it for ever and open it to anyone again. Nothing waits on it,
// and the store stays as it was.
TEST(RegistryStore, ALockFileOfAnotherAccountIsRefusedAtOnceNamingItsOwner) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may act as another account";
    testing::TempRoot root;
    std::filesystem::permissions(root.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    const std::string before = ReadFile(RegistryStore::StorePath());
    const std::filesystem::path lock = RegistryStore::StorePath().string() + ".lock";
    ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
    std::optional<testing::AnotherAccountLock> holder;
    holder.emplace("-x", lock);
    ASSERT_TRUE(holder->Holds());

    RegistryStore::TakeChangeProblem();
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({2, 0, 0, 0})), kErrorAccessDenied);
    EXPECT_THAT(RegistryStore::TakeChangeProblem(),
                ::testing::StartsWith("the lock file " + lock.string() +
                                      " belongs to another account (uid 65534"));
    EXPECT_EQ(RegistryStore::TakeChangeProblem(), "") << "a problem is said once";
    EXPECT_EQ(ReadFile(RegistryStore::StorePath()), before);
    EXPECT_EQ(QueryDword(key, "v"), 1u) << "reading needs no lock";

    // Given back to this account, it serves again.
    holder.reset();
    ASSERT_EQ(::chown(lock.c_str(), ::geteuid(), ::getegid()), 0);
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({3, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, "v"), 3u);
}

// Whoever else may write the store, or the root that holds it, could change the node's settings:
// no change is made there, and the problem names the file. A store the account's own group may
// write is rewritten with no write right but its owner's.
TEST(RegistryStore, NoChangeWhereAnotherAccountMayWriteAndTheRewriteIsTheOwnersAlone) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    const std::filesystem::path store = RegistryStore::StorePath();
    const std::string before = ReadFile(store);
    RegistryStore::TakeChangeProblem();

    std::filesystem::permissions(store, std::filesystem::perms(0666));
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({2, 0, 0, 0})), kErrorAccessDenied);
    EXPECT_EQ(RegistryStore::TakeChangeProblem(),
              "the platform root " + root.path().string() +
                  " is refused: another account may write its registry file " + store.string() +
                  " (mode 0666, writable by every account)");
    std::filesystem::permissions(store, std::filesystem::perms(0644));
    std::filesystem::permissions(root.path(), std::filesystem::perms(0777));
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({2, 0, 0, 0})), kErrorAccessDenied);
    EXPECT_THAT(RegistryStore::TakeChangeProblem(),
                HasSubstr("another account may write it (mode 0777, writable by every account)"));
    EXPECT_EQ(ReadFile(store), before);
    std::filesystem::permissions(root.path(), std::filesystem::perms(0700));

    // The group of the account's own (the test's), which only it is in.
    std::filesystem::permissions(store, std::filesystem::perms(0664));
    ASSERT_EQ(Set(key, "v", kRegDword, Bytes({3, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, "v"), 3u);
    EXPECT_EQ(std::filesystem::status(store).permissions(), std::filesystem::perms(0644));
}

// A process of this account that hangs holding the lock costs a change a bounded wait, then the
// change fails saying so; once it lets go, changes go through again.
TEST(RegistryStore, ALockHeldTooLongGivesTheChangeUpAndSaysSo) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    const std::filesystem::path lock = RegistryStore::StorePath().string() + ".lock";
    const pid_t holder =
        testing::StartProgram({.program = "/usr/bin/flock",
                               .arguments = {"-o", "-x", lock.string(), "/usr/bin/sleep", "130"}});
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(testing::Eventually([&] {
        return testing::RunProgram({.program = "/usr/bin/flock",
                                    .arguments = {"-n", "-s", lock.string(), "/usr/bin/true"}}) !=
               0;
    }));
    RegistryStore::TakeChangeProblem();
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorLockViolation);
    EXPECT_EQ(RegistryStore::TakeChangeProblem(),
              "the lock file " + lock.string() +
                  " was held by another process for 8 seconds; the change is given up");
    testing::KillProgram(holder);
    testing::WaitForExitCode(holder);
    EXPECT_EQ(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(QueryDword(key, "v"), 1u);
}

// A FIFO in the store's place (or the lock's) would hold every reader and writer in open(2)
// until a writer came: each is refused at once, and the FIFO stays.
TEST(RegistryStore, AStoreOrALockThatIsAFifoIsRefusedAtOnce) {
    testing::TempRoot root;
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    const std::filesystem::path store = RegistryStore::StorePath();
    std::filesystem::remove(store);
    ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
    EXPECT_EQ(RegistryStore::Problem(), "Cannot read the registry file " + store.string() +
                                            " (left as it is): not a regular file");
    EXPECT_NE(Query(key, "v").error, kErrorSuccess);
    EXPECT_NE(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(RegistryStore::TakeChangeProblem(), "the registry file " + store.string() +
                                                      " cannot be read (left as it is): not a "
                                                      "regular file");
    EXPECT_TRUE(std::filesystem::is_fifo(store));

    std::filesystem::remove(store);
    const std::filesystem::path lock = store.string() + ".lock";
    std::filesystem::remove(lock);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    EXPECT_NE(Set(key, "v", kRegDword, Bytes({1, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(RegistryStore::TakeChangeProblem(),
              "the lock file " + lock.string() + " cannot be opened: not a regular file");
    EXPECT_EQ(Query(key, "v").error, kErrorKeyDeleted) << "a reader is not held up either";
}

TEST(RegistryKey, AChangeKeepsTheEncodingAndLineEndsOfTheFile) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software]\r\n\"v\"=dword:00000001\r\n";
    const std::string utf16Newline = Bytes({'\n', 0});
    const std::string utf16CrNewline = Bytes({'\r', 0, '\n', 0});
    struct Form {
        std::string file;
        std::string mark;
        std::string newline;
        std::string crNewline;
    };
    for (const Form& form : std::vector<Form>{
             {header + key, "", "\n", "\r\n"},
             {"\xEF\xBB\xBF" + header + key, "\xEF\xBB\xBF", "\n", "\r\n"},
             {"\xFF\xFE" + Utf8ToUtf16leBytes(header + key), "\xFF\xFE", utf16Newline,
              utf16CrNewline},
         }) {
        testing::TempRoot root;
        EXPECT_EQ(RegistryStore::Problem(), std::nullopt) << "a missing store is an empty one";
        WriteFile(RegistryStore::StorePath(), form.file);
        EXPECT_EQ(RegistryStore::Problem(), std::nullopt);
        RegistryKey software = CreateKey("Software");
        ASSERT_EQ(Set(software, "w", kRegDword, Bytes({2, 0, 0, 0})), kErrorSuccess);
        const std::string written = ReadFile(RegistryStore::StorePath());
        EXPECT_NE(written, form.file);
        EXPECT_TRUE(written.starts_with(form.mark + "W")) << written;
        size_t newlines = 0;
        size_t crNewlines = 0;
        for (size_t at = written.find(form.newline); at != std::string::npos;
             at = written.find(form.newline, at + 1)) {
            ++newlines;
            crNewlines += written.compare(at + form.newline.size() - form.crNewline.size(),
                                          form.crNewline.size(), form.crNewline) == 0;
        }
        EXPECT_GT(newlines, 3u);
        EXPECT_EQ(crNewlines, newlines) << written;
        EXPECT_EQ(QueryDword(software, "v"), 1u);
        EXPECT_EQ(QueryDword(software, "w"), 2u);
    }
}

TEST(RegistryStore, ValueLinesAreThoseOfTheFileAsItStands) {
    testing::TempRoot root;
    WriteFile(RegistryStore::StorePath(),
              "Windows Registry Editor Version 5.00\n\n; the ports\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n\"v\"=dword:00000001\n");
    const auto lineOf = [](const char* name) {
        size_t line = 0;
        RegistryStore::Read([&](const RegNode& tree) {
            line = tree.Find({"Software", "Ruzd", "Pelwix"})->FindValue(name)->line;
            return kErrorSuccess;
        });
        return line;
    };
    EXPECT_EQ(lineOf("v"), 6u);
    // A change writes the file anew (without the comment, with a section for each key): the
    // lines follow it.
    RegistryKey key = CreateKey("Software\\Ruzd\\Pelwix");
    ASSERT_EQ(Set(key, "w", kRegDword, Bytes({2, 0, 0, 0})), kErrorSuccess);
    EXPECT_EQ(lineOf("v"), 8u);
    EXPECT_EQ(lineOf("w"), 9u);
}

TEST(RegistryKey, ThreadsChangingOneKeyLoseNothing) {
    testing::TempRoot root;
    constexpr int kRounds = 100;
    std::vector<std::thread> threads;
    for (const char* name : {"first", "second", "third"}) {
        threads.emplace_back([name] {
            RegistryKey key = CreateKey("Software\\Ruzd\\Race");
            for (int i = 0; i < kRounds; ++i) {
                const uint32_t next = QueryDword(key, name) + 1;
                key.SetValue(name, kRegDword, &next, sizeof next);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    RegistryKey key = CreateKey("Software\\Ruzd\\Race");
    for (const char* name : {"first", "second", "third"}) {
        EXPECT_EQ(QueryDword(key, name), static_cast<uint32_t>(kRounds)) << name;
    }
}

// --- Several processes -----------------------------------------------------------------------

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments) {
    const pid_t pid = testing::StartProgram(
        {.program = testing::ProgramFolder() / program, .arguments = arguments});
    EXPECT_GT(pid, 0);
    return pid;
}

TEST(RegistryStore, TwoProcessesLoseNoUpdateAndReadersNeverSeeATornFile) {
    testing::TempRoot root;
    constexpr int kRounds = 1000;
    const std::string child = "platform_registry_writer_child";
    CreateKey("Software\\Ruzd\\Race");

    std::atomic<bool> writing{true};
    int parses = 0;
    int failures = 0;
    int regressions = 0;
    std::thread reader([&] {
        uint32_t lastFirst = 0;
        uint32_t lastSecond = 0;
        RegistryKey key;
        EXPECT_EQ(
            RegistryKey::LocalMachine().OpenSubKey("Software\\Ruzd\\Race", RegAccess::kRead, &key),
            kErrorSuccess);
        while (writing.load()) {
            RegNode tree("");
            if (!ParseRegFile(ReadFile(RegistryStore::StorePath()), &tree) ||
                tree.Find({"Software", "Ruzd", "Race"}) == nullptr) {
                ++failures;
                continue;
            }
            ++parses;
            // Each change renames a newer store into place, so what readers see only grows.
            const uint32_t first = QueryDword(key, "first");
            const uint32_t second = QueryDword(key, "second");
            regressions += first < lastFirst || second < lastSecond;
            lastFirst = first;
            lastSecond = second;
        }
    });

    const pid_t a = Spawn(child, {"first", std::to_string(kRounds)});
    const pid_t b = Spawn(child, {"second", std::to_string(kRounds)});
    EXPECT_EQ(testing::WaitForExitCode(a), 0);
    EXPECT_EQ(testing::WaitForExitCode(b), 0);
    writing = false;
    reader.join();

    RegistryKey key = CreateKey("Software\\Ruzd\\Race");
    EXPECT_EQ(QueryDword(key, "first"), static_cast<uint32_t>(kRounds));
    EXPECT_EQ(QueryDword(key, "second"), static_cast<uint32_t>(kRounds));
    EXPECT_GT(parses, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(regressions, 0);
}

// The store's replacement fails for real, the system refusing its calls (strace): a failed
// close of the new file, which a file system may use to report a write it could not make,
// leaves the old store; a failed flush of the folder comes once the new store is in place, which
// is then not sure to outlive a power cut. Either is the change's failure, and says why.
TEST(RegistryStore, AReplacementWhoseCloseOrFolderFlushFailsIsTheChangesFailure) {
    testing::TempRoot root;
    CreateKey("Software\\Ruzd\\Race");
    const std::filesystem::path store = RegistryStore::StorePath();
    const std::filesystem::path trace =
        root.path().parent_path() / (root.path().filename().string() + ".trace");
    const std::filesystem::path errors =
        root.path().parent_path() / (root.path().filename().string() + ".err");
    struct Run {
        int exit_code;
        std::string errors;
    };
    const auto writeOnce = [&](std::vector<std::string> strace) {
        testing::ProgramStart start;
        start.program = "/usr/bin/strace";
        start.arguments = {"-f", "-qq"};
        start.arguments.insert(start.arguments.end(), strace.begin(), strace.end());
        start.arguments.insert(
            start.arguments.end(),
            {"--", (testing::ProgramFolder() / "platform_registry_writer_child").string(), "v",
             "1"});
        start.stderr_file = errors;
        // The leak check cannot run under a tracer.
        start.environment = {"ASAN_OPTIONS=detect_leaks=0"};
        const int exit_code = testing::RunProgram(start);
        return Run{exit_code, ReadFile(errors)};
    };
    const std::string before = ReadFile(store);

    // Which close is the new file's: the program does the same each time from the same store.
    ASSERT_EQ(writeOnce({"-y", "-e", "trace=close", "-o", trace.string()}).exit_code, 0);
    std::istringstream closes(ReadFile(trace));
    size_t index = 0;
    size_t scratch = 0;
    for (std::string line; std::getline(closes, line) && scratch == 0;) {
        if (line.find("close(") == std::string::npos) {
            continue;
        }
        ++index;
        if (line.find(store.string() + ".") != std::string::npos &&
            line.find(".lock>") == std::string::npos) {
            scratch = index;
        }
    }
    ASSERT_GT(scratch, 0u) << ReadFile(trace);
    WriteFile(store, before);
    const Run closed =
        writeOnce({"-e", "trace=close", "-e",
                   "inject=close:error=EIO:when=" + std::to_string(scratch), "-o", "/dev/null"});
    EXPECT_EQ(closed.exit_code, 1);
    EXPECT_THAT(closed.errors, HasSubstr("the registry file " + store.string() +
                                         " could not be replaced durably: "));
    EXPECT_EQ(ReadFile(store), before);
    for (const auto& entry : std::filesystem::directory_iterator(root.path())) {
        EXPECT_THAT(entry.path().filename().string(),
                    ::testing::AnyOf("registry.reg", "registry.reg.lock"))
            << "a scratch file is left";
    }

    const Run flushed = writeOnce({"-P", root.path().string(), "-e", "trace=fsync", "-e",
                                   "inject=fsync:error=EIO", "-o", "/dev/null"});
    EXPECT_EQ(flushed.exit_code, 1);
    EXPECT_THAT(flushed.errors, HasSubstr("the registry file " + store.string() +
                                          " could not be replaced durably: "));
    RegistryKey key = CreateKey("Software\\Ruzd\\Race");
    EXPECT_EQ(QueryDword(key, "v"), 1u) << "the new store is in place";
    std::filesystem::remove(trace);
    std::filesystem::remove(errors);
}

}  // namespace
}  // namespace ruzd::platform
