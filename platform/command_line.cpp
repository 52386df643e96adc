#include "platform/command_line.h"

#include "platform/text.h"

namespace ruzd::platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

class CommandLineSplitter {
public:
    explicit CommandLineSplitter(std::string_view line) : line_(line) {}

    std::vector<std::string> Split() {
        SkipBlanks();
        if (AtEnd()) {
            return {};
        }
        std::vector<std::string> args;
        args.push_back(ProgramName());
        SkipBlanks();
        while (!AtEnd()) {
            args.push_back(Argument());
            SkipBlanks();
        }
        return args;
    }

private:
    bool AtEnd() const { return pos_ >= line_.size(); }
    char Peek(size_t ahead = 0) const {
        return pos_ + ahead < line_.size() ? line_[pos_ + ahead] : '\0';
    }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(line_[pos_])) {
            ++pos_;
        }
    }

    // The program name knows no escapes: a path like "C:\Tools\" must survive as it is.
    std::string ProgramName() {
        std::string name;
        if (Peek() == '"') {
            ++pos_;
            while (!AtEnd() && line_[pos_] != '"') {
                name += line_[pos_++];
            }
            if (!AtEnd()) {
                ++pos_;  // the closing quote ends the name, whatever follows it
            }
            return name;
        }
        while (!AtEnd() && !IsBlank(line_[pos_])) {
            name += line_[pos_++];
        }
        return name;
    }

    std::string Argument() {
        std::string arg;
        bool quoted = false;
        while (!AtEnd()) {
            const char c = line_[pos_];
            if (IsBlank(c) && !quoted) {
                break;
            }
            if (c == '\\') {
                TakeBackslashes(arg);
            } else if (c == '"') {
                ++pos_;
                if (quoted && Peek() == '"') {
                    arg += '"';
                    ++pos_;
                }
                quoted = !quoted;
            } else {
                arg += c;
                ++pos_;
            }
        }
        return arg;
    }

    // A run of backslashes: halved before a quote (an odd one out escapes the quote), kept as
    // they are anywhere else.
    void TakeBackslashes(std::string& arg) {
        size_t count = 0;
        while (Peek() == '\\') {
            ++count;
            ++pos_;
        }
        if (Peek() != '"') {
            arg.append(count, '\\');
            return;
        }
        arg.append(count / 2, '\\');
        if (count % 2 == 1) {
            arg += '"';
            ++pos_;
        }
    }

    std::string_view line_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
    return CommandLineSplitter(command_line).Split();
}

namespace {

std::string QuoteProgramName(std::string_view name) {
    std::string plain;
    for (const char c : name) {
        if (c != '"') {
            plain += c;
        }
    }
    if (!plain.empty() && plain.find_first_of(" \t") == std::string::npos) {
        return plain;
    }
    return '"' + plain + '"';
}

std::string QuoteArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(arg);
    }
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and one more escapes it.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + '"';
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += i == 0 ? QuoteProgramName(arguments[i]) : QuoteArgument(arguments[i]);
    }
    return line;
}

bool IsHelpWord(std::string_view argument) {
    return argument == "-h" || argument == "--help" || argument == "/?" ||
           EqualsIgnoreCase(argument, "-help") || argument == "-?";
}

}  // namespace ruzd::platform
