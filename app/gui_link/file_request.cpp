#include "app/gui_link/file_request.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/debug_settings.h"
#include "app/gui_link/debug_settings_values.h"
#include "app/gui_link/gui_link_protocol.h"
#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::app {

namespace fs = std::filesystem;

namespace {

FileAnswer Refusal(const std::string& text) {
    FileAnswer answer;
    answer.text = text;
    return answer;
}

bool IsWithin(const fs::path& file, const fs::path& folder) {
    const auto [folder_end, file_at] =
        std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    return folder_end == folder.end() && file_at != file.end();
}

// A debug file's name: "Tav", anything, ".deb", whatever the case.
bool IsDebugFileName(const std::string& name) {
    const std::string folded = platform::FoldWindowsNameCase(name);
    const std::string prefix = platform::FoldWindowsNameCase(kDebugFilePrefix);
    const std::string suffix = platform::FoldWindowsNameCase(".deb");
    return folded.size() >= prefix.size() + suffix.size() &&
           folded.compare(0, prefix.size(), prefix) == 0 &&
           folded.compare(folded.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The node's working folder, as long as it lies inside the platform root (both resolved): a
// node started elsewhere (from "/" by an init script, say) must not hand out the host's files.
std::optional<fs::path> ServedFolder() {
    std::error_code error;
    const fs::path current = fs::canonical(fs::current_path(error), error);
    if (error) {
        return std::nullopt;
    }
    const fs::path root = fs::canonical(platform::Root(), error);
    if (error || !IsWithin(current, root)) {
        return std::nullopt;
    }
    return current;
}

// Whether a window may read the file, named by its canonical host path.
bool MayServe(const fs::path& file, const std::string& debugDirectory) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        return false;
    }
    const std::optional<fs::path> served = ServedFolder();
    if (served && IsWithin(file, *served)) {
        return true;
    }
    const fs::path debug = fs::canonical(platform::MapWindowsPath(debugDirectory), error);
    return !error && file.parent_path() == debug && IsDebugFileName(file.filename().string());
}

}  // namespace

FileAnswer ServeFileRequest(const std::string& path, const std::string& debugDirectory) {
    const bool bare = path.find_first_of("\\/") == std::string::npos;
    std::string looked = bare ? ".\\" + path : path;
    const std::string notFound = "File Not Found (" + looked + ")";
    // A window names the debug files by the directory the link showed it, which may be the
    // host's path of a folder that no Windows path names: that part stands for the directory.
    const std::string shown = FullDebugDirectory(debugDirectory);
    if (path.size() > shown.size() && path.compare(0, shown.size(), shown) == 0) {
        looked = platform::JoinWindowsPath(debugDirectory, path.substr(shown.size()));
    }

    const fs::path host = platform::MapWindowsPath(looked);
    if (host.empty() || path.empty()) {
        return Refusal(notFound);
    }
    std::error_code error;
    const fs::path file = fs::canonical(host, error);
    if (error || !MayServe(file, debugDirectory)) {
        return Refusal(notFound);
    }
    const uintmax_t size = fs::file_size(file, error);
    if (error) {
        return Refusal(error.message());
    }
    if (size > kGuiMaxFileBytes) {
        return Refusal("File too big (" + looked + ")");
    }
    // Opened without waiting on it (a FIFO put in the file's place is refused), and read to the
    // end: a file that cannot be read whole is refused, never served cut short. The system's
    // text of the failure is in the words a Windows node would use.
    std::string content;
    if (const int failure = platform::ReadRegularFile(file, content); failure != 0) {
        return Refusal("Could not read (" + looked +
                       "): " + platform::WinErrorText(platform::WinErrorFromErrno(failure)));
    }
    // What was there when its size was taken: a file that grows meanwhile (the debug file being
    // written) still comes within the bound.
    if (content.size() > size) {
        content.resize(static_cast<size_t>(size));
    }
    FileAnswer answer;
    answer.contents.assign(content.begin(), content.end());
    answer.success = true;
    answer.text = path;
    return answer;
}

}  // namespace ruzd::app
