#include "platform/user_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <string_view>

namespace ruzd::platform {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The user's LC_TIME as the environment names it now. Each locale is made once and kept: the C
// library's newlocale leaks a little on every call while LOCPATH is set.
locale_t UserTimeLocale() {
    static std::mutex mutex;
    static auto* locales = new std::map<std::string, locale_t>();
    const std::string key = Variable("LC_ALL") + '\n' + Variable("LC_TIME") + '\n' +
                            Variable("LANG") + '\n' + Variable("LOCPATH");
    std::lock_guard lock(mutex);
    locale_t& locale = (*locales)[key];
    if (locale == static_cast<locale_t>(nullptr)) {
        locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
        if (locale == static_cast<locale_t>(nullptr)) {
            locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
        }
    }
    return locale;
}

std::string Item(nl_item item) {
    const char* text = ::nl_langinfo_l(item, UserTimeLocale());
    return text != nullptr ? text : "";
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// The picture with the shorthands that hold the seconds spelled out, so that they can be left
// out: "%T" and "%r".
std::string SpelledOutTime(std::string picture) {
    ReplaceAll(picture, "%T", "%H:%M:%S");
    ReplaceAll(picture, "%r", "%I:%M:%S %p");
    return picture;
}

}  // namespace

TimePictures UserTimePictures() {
    TimePictures pictures;
    pictures.short_date = Item(D_FMT);
    pictures.long_date = "%A, %d %B %Y";
    pictures.time = Item(T_FMT);
    pictures.time_without_seconds = SpelledOutTime(pictures.time);
    ReplaceAll(pictures.time_without_seconds, ":%S", "");
    return pictures;
}

std::string FormatUserTime(const std::string& picture, int year, int month, int day, int hour,
                           int minute, int second) {
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    // The day of the week and of the year, which the names and some pictures need.
    const time_t midnight = ::timegm(&fields);
    ::gmtime_r(&midnight, &fields);
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    char text[256];
    const size_t length =
        ::strftime_l(text, sizeof text, picture.c_str(), &fields, UserTimeLocale());
    return std::string(text, length);
}

std::string UserTerritory() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') {
            continue;
        }
        const std::string_view locale(value);
        const size_t underscore = locale.find('_');
        if (underscore == std::string_view::npos) {
            return "";
        }
        const std::string_view rest = locale.substr(underscore + 1);
        return std::string(rest.substr(0, rest.find_first_of(".@")));
    }
    return "";
}

}  // namespace ruzd::platform
