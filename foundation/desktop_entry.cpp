#include "foundation/desktop_entry.h"

#include "platform/regular_file.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kEntryGroup = "Desktop Entry";

// The escapes of a string value: \s, \n, \t, \r and \\; an unknown escape stays as it is.
std::string UnescapeValue(std::string_view raw) {
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        switch (raw[++i]) {
            case 's':
                value += ' ';
                break;
            case 'n':
                value += '\n';
                break;
            case 't':
                value += '\t';
                break;
            case 'r':
                value += '\r';
                break;
            case '\\':
                value += '\\';
                break;
            default:
                value += '\\';
                value += raw[i];
        }
    }
    return value;
}

// The words of an Exec line: blanks separate them outside double quotes; inside quotes a
// backslash takes the next character literally ("\"", "\`", "\$", "\\"). None for a quote that
// is never closed.
std::optional<std::vector<std::string>> SplitExecWords(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (in_word) {
                words.push_back(std::move(word));
                word.clear();
                in_word = false;
            }
        } else {
            in_word = true;
            if (c == '"') {
                quoted = true;
            } else {
                word += c;
            }
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (in_word) {
        words.push_back(std::move(word));
    }
    return words;
}

bool ListsAction(std::string_view actions, std::string_view action) {
    size_t start = 0;
    while (start <= actions.size()) {
        size_t end = actions.find(';', start);
        if (end == std::string_view::npos) {
            end = actions.size();
        }
        if (platform::Trim(actions.substr(start, end - start)) == action) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

std::optional<DesktopEntry> DesktopEntry::Load(const std::filesystem::path& file) {
    std::string text;
    if (platform::ReadRegularFile(file, text) != 0) {
        return std::nullopt;
    }
    return Parse(text);
}

std::optional<DesktopEntry> DesktopEntry::Parse(std::string_view text) {
    DesktopEntry entry;
    std::string group;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = platform::Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            group = std::string(line.substr(1, line.size() - 2));
            entry.groups_[group];
            continue;
        }
        const size_t equals = line.find('=');
        if (group.empty() || equals == std::string_view::npos) {
            continue;
        }
        // The first of a key counts, as the format wants keys unique within a group.
        entry.groups_[group].emplace(std::string(platform::Trim(line.substr(0, equals))),
                                     std::string(platform::Trim(line.substr(equals + 1))));
    }
    if (!entry.groups_.contains(kEntryGroup)) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> DesktopEntry::Value(std::string_view group, std::string_view key) const {
    const auto found_group = groups_.find(group);
    if (found_group == groups_.end()) {
        return std::nullopt;
    }
    const auto found = found_group->second.find(key);
    if (found == found_group->second.end()) {
        return std::nullopt;
    }
    return UnescapeValue(found->second);
}

std::optional<std::string> DesktopEntry::Exec(std::string_view action) const {
    std::optional<std::string> exec;
    if (action.empty()) {
        exec = Value(kEntryGroup, "Exec");
    } else if (ListsAction(Value(kEntryGroup, "Actions").value_or(""), action)) {
        exec = Value("Desktop Action " + std::string(action), "Exec");
    }
    if (exec && platform::Trim(*exec).empty()) {
        return std::nullopt;
    }
    return exec;
}

std::vector<std::string> ExpandExecLine(std::string_view exec, const std::string& file) {
    const std::optional<std::vector<std::string>> words = SplitExecWords(exec);
    if (!words || words->empty()) {
        return {};
    }
    std::vector<std::string> arguments;
    for (const std::string& word : *words) {
        std::string argument;
        bool dropped_code = false;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                argument += word[i];
                continue;
            }
            const char code = word[++i];
            if (code == '%') {
                argument += '%';
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                argument += file;
            } else {
                dropped_code = true;
            }
        }
        if (argument.empty() && dropped_code) {
            continue;
        }
        arguments.push_back(std::move(argument));
    }
    if (arguments.empty() || arguments.front().empty()) {
        return {};
    }
    return arguments;
}

}  // namespace ruzd::foundation
