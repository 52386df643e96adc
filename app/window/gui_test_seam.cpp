#include "app/window/gui_test_seam.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "foundation/utilities.h"

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
    WriteWhole("state.txt", text);
}

void GuiTestSeam::WriteWhole(const std::string& name, const std::string& text) {
    const std::filesystem::path next = folder_ / (name + ".new");
    {
        std::ofstream out(next, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::error_code error;
    std::filesystem::rename(next, folder_ / name, error);
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

void GuiTestSeam::ReportDisplay(const std::string& thread, bool setClipboard) {
    using foundation::CUtilities;
    using foundation::DisplayRect;
    const auto rects = [](bool found, const DisplayRect& area, const DisplayRect& work) {
        const auto text = [](const DisplayRect& rect) {
            return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                   std::to_string(rect.right) + "," + std::to_string(rect.bottom);
        };
        return std::string(found ? "true" : "false") + " area=" + text(area) +
               " work=" + text(work) + "\n";
    };
    const DisplayRect untouched{-1, -1, -1, -1};
    if (setClipboard) {
        std::ifstream in(folder_ / "clipboard-set.txt", std::ios::binary);
        CUtilities::SetClipboardText(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    const std::string clipboard = CUtilities::GetClipboardText();
    std::string report = "thread=" + thread + "\n";
    std::vector<foundation::MonitorHandle> monitors;
    report += "monitors=" + std::to_string(CUtilities::EnumMonitors(monitors)) + "\n";
    for (const foundation::MonitorHandle monitor : monitors) {
        DisplayRect area = untouched;
        DisplayRect work = untouched;
        const bool found = CUtilities::GetMonitorRects(monitor, &work, &area);
        report += "monitor " + std::to_string(monitor) + "=" + rects(found, area, work);
    }
    std::ifstream points(folder_ / "points.txt");
    for (std::string line; std::getline(points, line);) {
        foundation::DisplayPoint point;
        if (std::sscanf(line.c_str(), "%d,%d", &point.x, &point.y) != 2) {
            continue;
        }
        DisplayRect area = untouched;
        DisplayRect work = untouched;
        const bool found = CUtilities::GetMonitorRectsAtPoint(point, &work, &area);
        report += "point " + std::to_string(point.x) + "," + std::to_string(point.y) + "=" +
                  rects(found, area, work);
    }
    std::lock_guard lock(lock_);
    WriteWhole("clipboard.txt", clipboard);
    WriteWhole("display.txt", report);
}

}  // namespace ruzd::app::window
