// ruzd-explorer: the stand-in for the Windows Explorer command line the programs use
// ("Explorer /e,/select,<path>"), which the launcher starts wherever a command line names
// "Explorer". It hands the desktop's opener a folder: with "/select," the folder that holds the
// path, otherwise the path itself. The path is a Windows path, mapped as every path is.
//
// Exit code 0 when the opener was started, 1 when it was not, 2 for a command line without a
// path. Asked for help, it prints its usage and opens nothing.

#include <iostream>
#include <string>
#include <string_view>

#include "platform/command_line.h"
#include "platform/desktop_open.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace {

struct ExplorerRequest {
    std::string path;
    bool select = false;
};

// Explorer reads its whole command line as switches separated by commas; the first switch
// that takes an object ("/select," or "/root,") takes the rest of the line, commas and all.
ExplorerRequest ParseExplorerLine(std::string_view line) {
    ExplorerRequest request;
    while (!line.empty()) {
        const size_t comma = line.find(',');
        const std::string_view word = line.substr(0, comma);
        const std::string_view rest =
            comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
        if (ruzd::platform::EqualsIgnoreCase(word, "/e") ||
            ruzd::platform::EqualsIgnoreCase(word, "/n")) {
            line = rest;
            continue;
        }
        if (ruzd::platform::EqualsIgnoreCase(word, "/select") ||
            ruzd::platform::EqualsIgnoreCase(word, "/root")) {
            request.select = ruzd::platform::EqualsIgnoreCase(word, "/select");
            line = rest;
        }
        break;
    }
    request.path = std::string(line);
    return request;
}

constexpr std::string_view kUsage =
    "Usage: ruzd-explorer [/e,][/select,]<path>\n"
    "The stand-in for the Windows Explorer command line the programs run: it hands the\n"
    "desktop's opener (RUZD_DESKTOP_OPEN, else xdg-open) a folder.\n"
    "  <path>           a Windows path, mapped as every path is: that folder is opened\n"
    "  /select,<path>   the folder that holds the path is opened\n"
    "  /root,<path>     the same as <path> alone\n"
    "  /e, /n           taken and ignored\n"
    "  -h, --help, /?   print this text and end\n";

}  // namespace

int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    if (argc == 2 && ruzd::platform::IsHelpWord(line)) {
        std::cout << kUsage;
        return 0;
    }
    const ExplorerRequest request = ParseExplorerLine(line);
    if (request.path.empty()) {
        std::cerr << "ruzd-explorer: no path given\n";
        return 2;
    }
    std::filesystem::path folder = ruzd::platform::MapWindowsPath(request.path);
    if (folder.empty()) {
        std::cerr << "ruzd-explorer: \"" << request.path << "\" names no file\n";
        return 1;
    }
    if (request.select) {
        folder = folder.parent_path();
    }
    if (!ruzd::platform::OpenWithDesktop(folder.string())) {
        std::cerr << "ruzd-explorer: the desktop opener could not be started\n";
        return 1;
    }
    return 0;
}
