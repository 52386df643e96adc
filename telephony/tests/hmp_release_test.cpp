// Which host media releases defer a re-INVITE that arrives while another is pending: HMP 3.0
// from build 357 on, and every later version.

#include "telephony/hmp_release.h"

#include <gtest/gtest.h>

namespace ruzd::telephony {
namespace {

bool Defers(const char* version, const char* build) {
    return DefersPendingReinvite({true, version, build});
}

TEST(HmpRelease, Version30DependsOnTheBuild) {
    EXPECT_FALSE(Defers("3.0", "356"));
    EXPECT_TRUE(Defers("3.0", "357"));
    EXPECT_TRUE(Defers("3.0", "1200"));
    EXPECT_FALSE(Defers("3.0", ""));
    EXPECT_FALSE(Defers("3.0", "abc"));
    // The build is read as a decimal number, as far as it goes.
    EXPECT_TRUE(Defers("3.0", " 357"));
    EXPECT_TRUE(Defers("3.0", "357b"));
    EXPECT_TRUE(Defers("3.0", "0357x"));
    EXPECT_FALSE(Defers("3.0", "-400"));
    EXPECT_FALSE(Defers("3.0", "99999999999999999999999"));
}

TEST(HmpRelease, LaterVersionsDeferWhateverTheBuild) {
    EXPECT_TRUE(Defers("3.1", "1"));
    EXPECT_TRUE(Defers("4.1", ""));
    EXPECT_TRUE(Defers("3.0.1", "10"));
    // By number, not by text: 10.0 comes after 3.0.
    EXPECT_TRUE(Defers("10.0", "1"));
}

TEST(HmpRelease, EarlierVersionsAndNoReleaseDoNot) {
    EXPECT_FALSE(Defers("2.0", "9999"));
    EXPECT_FALSE(Defers("1.5", "400"));
    EXPECT_FALSE(Defers("", "400"));
    EXPECT_FALSE(DefersPendingReinvite({}));
    // The same version however it is written.
    EXPECT_FALSE(Defers("3", "356"));
    EXPECT_TRUE(Defers("3.00", "357"));
}

TEST(HmpRelease, AVersionThatIsNoNumberComparesAsText) {
    EXPECT_TRUE(Defers("HMP", "1"));      // 'H' sorts after '3'
    EXPECT_FALSE(Defers(" 3.1", "999"));  // ' ' sorts before '3'
}

}  // namespace
}  // namespace ruzd::telephony
