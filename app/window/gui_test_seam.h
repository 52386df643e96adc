#pragma once

// What a test of the window sees and says, only when RUZD_GUI_TEST_DIR names a folder: the
// window writes its state to "state.txt" there after every change, takes the answers of its
// boxes and dialogs from "answers.txt" instead of showing them, notes every box it would have
// shown in "boxes.txt", and grabs itself from the screen into "frame.png" when asked.
//
// "answers.txt" holds one answer a line, "<kind>=<answer>", read again at every question so
// that a test may add answers while the window runs; each question takes the first answer of
// its kind not taken yet:
//   box=<button number>                            a message box (6 Yes, 7 No, 1 OK, ...)
//   settings=<level>|<directory>|<interval>|<files>  the debug settings dialog's OK
//   settings=cancel
//   file=<path> or file=cancel                     the file-open dialog
// A question without an answer takes the box's default button, or cancels the dialog.
//
// The window's messages for a test (to its message window "PelwixFrame"): WM_CLOSE, WM_COMMAND
// with a command id, WM_USER for a grab into "frame.png", and WM_USER + 1 for a display report
// (see ReportDisplay): on the window's thread, or with wParam bit 0 on another thread; with bit
// 1 the clipboard first takes the text of "clipboard-set.txt".

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::app::window {

class GuiTestSeam {
public:
    inline static constexpr const char* kVariable = "RUZD_GUI_TEST_DIR";

    // None when the variable is unset or empty.
    static std::unique_ptr<GuiTestSeam> FromEnvironment();
    explicit GuiTestSeam(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // Replaces state.txt as a whole, so that a reader never sees half of it.
    void WriteState(const std::string& text);
    std::optional<std::string> NextAnswer(const std::string& kind);
    void NoteBox(const std::string& caption, const std::string& text);
    std::filesystem::path FramePicture() const { return folder_ / "frame.png"; }

    // What the display and clipboard helpers (CUtilities) answer on the calling thread: the
    // clipboard's text as it is into "clipboard.txt", then "display.txt":
    //   thread=<thread>
    //   monitors=<EnumMonitors' count>
    //   monitor <handle>=<true|false> area=<left,top,right,bottom> work=<...>   (GetMonitorRects)
    //   point <x>,<y>=<true|false> area=<...> work=<...>   (GetMonitorRectsAtPoint)
    // a point line for each "<x>,<y>" line of "points.txt"; rectangles a call leaves untouched
    // read -1,-1,-1,-1. With `setClipboard` the clipboard first takes "clipboard-set.txt".
    void ReportDisplay(const std::string& thread, bool setClipboard);

private:
    // Replaces the file as a whole, so that a reader never sees half of it.
    void WriteWhole(const std::string& name, const std::string& text);

    const std::filesystem::path folder_;
    std::mutex lock_;
    std::map<std::string, size_t> taken_;
};

}  // namespace ruzd::app::window
