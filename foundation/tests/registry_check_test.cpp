#include "foundation/registry_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::vector<KnownRegistryValue> kKnown = {
    {"Local TCP port", RegistryValueKind::kDword, "9070"},
    {"Local File Socket TCP port", RegistryValueKind::kDword, "9071"},
    {"Debug Directory", RegistryValueKind::kText, "\".\\debug\\\""},
    {"Max Connections", RegistryValueKind::kDword, "32"},
};

void WriteStore(const std::string& lines) {
    std::ofstream out(platform::RegistryStore::StorePath(), std::ios::binary);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"
        << lines;
}

std::string At(int line) {
    return "registry file " + platform::RegistryStore::StorePath().string() + ", line " +
           std::to_string(line) + ": ";
}

TEST(FindRegistryMistakes, ASlipOfTheKeyboardIsNamedWithTheValueMeant) {
    testing::TempRoot root;
    WriteStore(
        "\"Local TCP prot\"=dword:00002328\n"      // two letters swapped: one step
        "\"local file sockt tcp PORT\"=dword:1\n"  // one left out, case aside
        "\"Max Connection\"=dword:1\n"             // one left out
        "\"Local TCP port\"=dword:00002329\n"      // known, in place
        "\"DEBUG DIRECTORY\"=\"C:\\\\Logs\"\n"     // known in another case
        "\"Central Server\"=\"10.0.0.1\"\n"        // far from every known name
        "\"Max Connectionsxyz\"=dword:1\n");       // three steps: not a slip
    EXPECT_THAT(
        FindRegistryMistakes("Pelwix", "Pelwix", kKnown),
        ElementsAre(At(4) + "\"Local TCP prot\" is no value Pelwix knows; did you mean "
                            "\"Local TCP port\"? The line is ignored",
                    At(5) + "\"local file sockt tcp PORT\" is no value Pelwix knows; did you "
                            "mean \"Local File Socket TCP port\"? The line is ignored",
                    At(6) + "\"Max Connection\" is no value Pelwix knows; did you mean \"Max "
                            "Connections\"? The line is ignored"));
}

TEST(FindRegistryMistakes, AValueOfTheWrongTypeIsNamedWithTheDefaultUsed) {
    testing::TempRoot root;
    WriteStore(
        "\"Local TCP port\"=\"21070\"\n"
        "\"Local File Socket TCP port\"=\"1\"\n"
        "\"Debug Directory\"=dword:00000001\n"
        "\"Max Connections\"=hex(b):20,00,00,00,00,00,00,00\n");
    EXPECT_THAT(
        FindRegistryMistakes("Pelwix", "Pelwix", kKnown),
        ElementsAre(
            At(4) + "\"Local TCP port\" is a string (\"21070\") where a dword is expected; the "
                    "default 9070 is used, and the line is kept as written (21070 as a dword: "
                    "\"Local TCP port\"=dword:0000524e)",
            At(5) + "\"Local File Socket TCP port\" is a string (\"1\") where a dword is "
                    "expected; the default 9071 is used, and the line is kept as written (1 as "
                    "a dword: \"Local File Socket TCP port\"=dword:00000001)",
            At(6) + "\"Debug Directory\" is a dword (dword:00000001) where a string is "
                    "expected; the default \".\\debug\\\" is used, and the line is kept as "
                    "written",
            At(7) + "\"Max Connections\" is a value of type hex(b) where a dword is expected; "
                    "the default 32 is used, and the line is kept as written"));
}

TEST(FindRegistryMistakes, NothingToSayOfAFileInOrderOrOfNone) {
    testing::TempRoot root;
    EXPECT_THAT(FindRegistryMistakes("Pelwix", "Pelwix", kKnown), IsEmpty());
    WriteStore("\"Local TCP port\"=dword:00002328\n\"Max Connections\"=hex:20\n");
    EXPECT_THAT(FindRegistryMistakes("Pelwix", "Pelwix", kKnown), IsEmpty());
    // Another program's key is not looked at.
    EXPECT_THAT(FindRegistryMistakes("Tormbel", "Tormbel", kKnown), IsEmpty());
}

}  // namespace
}  // namespace ruzd::foundation
