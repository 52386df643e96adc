#include "app/window/gui_test_seam.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace ruzd::app::window {

std::unique_ptr<GuiTestSeam> GuiTestSeam::FromEnvironment() {
    const char* folder = std::getenv(kVariable);
    if (folder == nullptr || *folder == '\0') {
        return nullptr;
    }
    return std::make_unique<GuiTestSeam>(folder);
}

void GuiTestSeam::WriteState(const std::string& text) {
    std::lock_guard lock(lock_);
    const std::filesystem::path next = folder_ / "state.txt.new";
    {
        std::ofstream out(next, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::error_code error;
    std::filesystem::rename(next, folder_ / "state.txt", error);
}

std::optional<std::string> GuiTestSeam::NextAnswer(const std::string& kind) {
    std::lock_guard lock(lock_);
    std::ifstream in(folder_ / "answers.txt");
    const std::string prefix = kind + "=";
    size_t seen = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(prefix, 0) != 0) {
            continue;
        }
        if (seen++ == taken_[kind]) {
            ++taken_[kind];
            return line.substr(prefix.size());
        }
    }
    return std::nullopt;
}

void GuiTestSeam::NoteBox(const std::string& caption, const std::string& text) {
    std::lock_guard lock(lock_);
    std::ofstream out(folder_ / "boxes.txt", std::ios::app);
    out << caption << ": " << text << "\n";
}

}  // namespace ruzd::app::window
