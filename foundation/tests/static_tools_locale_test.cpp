// The locale's decimal point is read once per process, so this runs in a program of its own
// that switches to a decimal-comma locale before the first parse.

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "foundation/static_tools.h"
#include "testing/german_locale.h"

namespace ruzd::foundation {
namespace {

// Switches LC_NUMERIC to the German locale, whose decimal point is a comma.
class CommaLocale {
public:
    CommaLocale() {
        if (!german_.available()) {
            problem_ = german_.problem();
        } else if (std::setlocale(LC_NUMERIC, testing::GermanLocale::kName) == nullptr ||
                   std::string(std::localeconv()->decimal_point) != ",") {
            problem_ = "the German locale has no decimal comma";
        }
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }

    bool active() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

private:
    testing::GermanLocale german_;
    std::string problem_;
};

TEST(StrToDoubleUnderACommaLocale, AFullStopIsReadAsTheLocaleDecimalPoint) {
    CommaLocale locale;
    if (!locale.active()) {
        GTEST_SKIP() << "No decimal-comma locale available: " << locale.problem();
    }

    double value = 0;
    EXPECT_TRUE(CStaticTools::StrToDouble("1.5", &value, true));
    EXPECT_EQ(value, 1.5);
    EXPECT_TRUE(CStaticTools::StrToDouble(" -0.0 ", &value, true));
    EXPECT_EQ(value, 0.0);
    EXPECT_FALSE(CStaticTools::StrToDouble("abc", &value, true));
    EXPECT_EQ(CStaticTools::StrToDoubleValue("2.25", true), 2.25);

    // Without the replacement the conversion follows the locale itself.
    EXPECT_TRUE(CStaticTools::StrToDouble("1,5", &value, false));
    EXPECT_EQ(value, 1.5);
    EXPECT_FALSE(CStaticTools::StrToDouble("1.5", &value, false));
    EXPECT_EQ(value, 1.0);

    // Numbers are written with the C locale's point, and with the locale's one when asked.
    EXPECT_EQ(CStaticTools::FormatDouble(1.5, false), "1.5");
    EXPECT_EQ(CStaticTools::FormatDouble(1.5, true), "1,5");
    EXPECT_EQ(CStaticTools::FormatDoubleRoundTrip(0.1, true), "0,1");

    // The point was read once: back in the C locale the cached comma is still put in.
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_FALSE(CStaticTools::StrToDouble("1.5", &value, true));
    EXPECT_TRUE(CStaticTools::StrToDouble("1.5", &value, false));
}

}  // namespace
}  // namespace ruzd::foundation
