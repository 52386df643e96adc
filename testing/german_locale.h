#pragma once

// The German locale de_DE.UTF-8 for tests of what follows the user's locale: the installed one
// when there is one, else one compiled with localedef (from the locales package's sources) into
// a temporary folder that LOCPATH points at while the object lives.

#include <memory>
#include <string>

#include "testing/temp_root.h"

namespace ruzd::testing {

class GermanLocale {
public:
    static constexpr const char* kName = "de_DE.UTF-8";

    GermanLocale();
    // Takes LOCPATH away again when it was set here.
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    bool available() const { return problem_.empty(); }
    // Why the locale is not available.
    const std::string& problem() const { return problem_; }

private:
    std::unique_ptr<TempDir> folder_;
    std::string problem_;
};

}  // namespace ruzd::testing
