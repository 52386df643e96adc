#include "testing/german_locale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace ruzd::testing {
namespace {

// Whether the C library can load the locale; the process's own LC_TIME stays as it was.
bool CanLoad(const char* name) {
    const char* current = std::setlocale(LC_TIME, nullptr);
    const std::string saved = current != nullptr ? current : "C";
    const bool loaded = std::setlocale(LC_TIME, name) != nullptr;
    std::setlocale(LC_TIME, saved.c_str());
    return loaded;
}

}  // namespace

GermanLocale::GermanLocale() {
    if (CanLoad(kName)) {
        return;
    }
    folder_ = std::make_unique<TempDir>();
    const std::string target = (folder_->path() / kName).string();
    const std::string command = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (!std::filesystem::exists(target)) {
        problem_ = "localedef could not build " + std::string(kName) + " (status " +
                   std::to_string(status) + "); the locales package provides its sources";
        return;
    }
    ::setenv("LOCPATH", folder_->path().c_str(), 1);
    if (!CanLoad(kName)) {
        problem_ = "the generated " + std::string(kName) + " locale could not be loaded";
    }
}

GermanLocale::~GermanLocale() {
    if (folder_) {
        ::unsetenv("LOCPATH");
    }
}

}  // namespace ruzd::testing

// The C library's newlocale leaks its copy of LOCPATH, which only these tests set; the leak
// is not ours to mend.
extern "C" const char* __lsan_default_suppressions() {
    // A substring: the symbol is __argz_add_sep or argz_add_sep as the symboliser names it.
    return "leak:argz_add_sep\n";
}
