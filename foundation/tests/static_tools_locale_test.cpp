// The locale's decimal point is read once per process, so this runs in a program of its own
// that switches to a decimal-comma locale before the first parse.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "foundation/static_tools.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

bool SelectCommaLocale(const char* name) {
    return std::setlocale(LC_NUMERIC, name) != nullptr &&
           std::string(std::localeconv()->decimal_point) == ",";
}

// Switches LC_NUMERIC to a locale whose decimal point is a comma: an installed one when there
// is one, else one compiled with localedef into a temporary folder that LOCPATH points at.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (SelectCommaLocale(name)) {
                return;
            }
        }
        folder_ = std::make_unique<testing::TempDir>();
        const std::string target = (folder_->path() / "de_DE.UTF-8").string();
        const std::string command = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!std::filesystem::exists(target)) {
            problem_ = "localedef could not build de_DE.UTF-8 (status " + std::to_string(status) +
                       "); the locales package provides its sources";
            return;
        }
        setenv("LOCPATH", folder_->path().c_str(), 1);
        if (!SelectCommaLocale("de_DE.UTF-8")) {
            problem_ = "the generated de_DE.UTF-8 locale could not be selected";
        }
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
    }

    bool active() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

private:
    std::unique_ptr<testing::TempDir> folder_;
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

    // The point was read once: back in the C locale the cached comma is still put in.
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_FALSE(CStaticTools::StrToDouble("1.5", &value, true));
    EXPECT_TRUE(CStaticTools::StrToDouble("1.5", &value, false));
}

}  // namespace
}  // namespace ruzd::foundation
