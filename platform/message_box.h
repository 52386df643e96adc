#pragma once

// Message boxes. Any thread may ask the user something through ShowMessageBox; what happens
// then is up to the presenter the application installed. A window program installs one that
// shows a dialog; headless and service processes keep the default presenter, which writes the
// box to stderr as one line "caption: text" (a laid-out text keeps its lines) and answers at
// once with the default button, so a message box never blocks a process nobody watches.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ruzd::platform {

// Style flags, as the Windows MessageBox type. The low four bits choose the buttons.
inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbOkCancel = 0x1;
inline constexpr uint32_t kMbAbortRetryIgnore = 0x2;
inline constexpr uint32_t kMbYesNoCancel = 0x3;
inline constexpr uint32_t kMbYesNo = 0x4;
inline constexpr uint32_t kMbRetryCancel = 0x5;
inline constexpr uint32_t kMbCancelTryContinue = 0x6;
inline constexpr uint32_t kMbButtonsMask = 0xF;
inline constexpr uint32_t kMbIconError = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconWarning = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr uint32_t kMbDefaultButton2 = 0x100;
inline constexpr uint32_t kMbDefaultButton3 = 0x200;
inline constexpr uint32_t kMbDefaultButton4 = 0x300;
inline constexpr uint32_t kMbDefaultButtonMask = 0xF00;

// Answers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;

// A presenter shows a box and returns the answer. It may be called from any thread, also while it
// is being replaced; it runs on the calling thread and may show another box from inside.
using MessageBoxPresenter =
    std::function<int(const std::string& text, const std::string& caption, uint32_t style)>;

// Asks the installed presenter. An empty caption becomes "Error", as on Windows.
int ShowMessageBox(std::string_view text, std::string_view caption, uint32_t style);

// The same for a text laid out in lines and columns (a usage), which one line would garble: the
// default presenter writes "caption: " before its first line and keeps its lines ("\r\n" is
// one line feed) and tabs, in one write.
int ShowLaidOutMessageBox(std::string_view text, std::string_view caption, uint32_t style);

// Shows the box on a thread of its own and returns at once, for callers that must not wait for
// the user (a box that only informs); the answer is not looked at.
void ShowMessageBoxDetached(std::string_view text, std::string_view caption, uint32_t style);

// Installs a presenter and returns the one it replaces (empty when that was the default); an
// empty presenter restores the default. Calls already running finish with the presenter they
// started with.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// The answer of the default button: the button that kMbDefaultButton2..4 selects, else (and when
// the box has fewer buttons) the first one. Unknown button sets have a single OK button.
int DefaultButtonAnswer(uint32_t style);

// The default presenter: one line "caption: text" on stderr (line breaks in the text become
// blanks), written at once so that lines of several threads never mix; answers
// DefaultButtonAnswer(style).
int LogMessageBox(const std::string& text, const std::string& caption, uint32_t style);

}  // namespace ruzd::platform
