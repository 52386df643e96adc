#include "platform/message_box.h"

#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/write_whole.h"

namespace ruzd::platform {
namespace {

std::mutex presenter_lock;
std::shared_ptr<const MessageBoxPresenter> installed_presenter;  // null: the default

std::shared_ptr<const MessageBoxPresenter> CurrentPresenter() {
    std::lock_guard<std::mutex> guard(presenter_lock);
    return installed_presenter;
}

std::vector<int> Buttons(uint32_t style) {
    switch (style & kMbButtonsMask) {
        case kMbOkCancel:
            return {kIdOk, kIdCancel};
        case kMbAbortRetryIgnore:
            return {kIdAbort, kIdRetry, kIdIgnore};
        case kMbYesNoCancel:
            return {kIdYes, kIdNo, kIdCancel};
        case kMbYesNo:
            return {kIdYes, kIdNo};
        case kMbRetryCancel:
            return {kIdRetry, kIdCancel};
        case kMbCancelTryContinue:
            return {kIdCancel, kIdTryAgain, kIdContinue};
        default:
            return {kIdOk};
    }
}

// "caption: text" on stderr in one write; line breaks become blanks, or line feeds for a
// laid-out text.
int WriteBox(const std::string& text, const std::string& caption, uint32_t style, bool laid_out) {
    std::string line = caption + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;  // "\r\n" is one break
        }
        const bool breaks = text[i] == '\n' || text[i] == '\r';
        line += !breaks ? text[i] : laid_out ? '\n' : ' ';
    }
    if (!laid_out || line.back() != '\n') {
        line += '\n';
    }
    WriteWhole(STDERR_FILENO, line.data(), line.size());
    return DefaultButtonAnswer(style);
}

int Show(std::string_view text, std::string_view caption, uint32_t style, bool laid_out) {
    const std::string caption_text = caption.empty() ? "Error" : std::string(caption);
    const std::shared_ptr<const MessageBoxPresenter> presenter = CurrentPresenter();
    if (presenter) {
        return (*presenter)(std::string(text), caption_text, style);
    }
    return WriteBox(std::string(text), caption_text, style, laid_out);
}

}  // namespace

int ShowMessageBox(std::string_view text, std::string_view caption, uint32_t style) {
    return Show(text, caption, style, false);
}

int ShowLaidOutMessageBox(std::string_view text, std::string_view caption, uint32_t style) {
    return Show(text, caption, style, true);
}

void ShowMessageBoxDetached(std::string_view text, std::string_view caption, uint32_t style) {
    std::thread([text = std::string(text), caption = std::string(caption), style] {
        ShowMessageBox(text, caption, style);
    }).detach();
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    std::shared_ptr<const MessageBoxPresenter> replacement;
    if (presenter) {
        replacement = std::make_shared<const MessageBoxPresenter>(std::move(presenter));
    }
    std::shared_ptr<const MessageBoxPresenter> previous;
    {
        std::lock_guard<std::mutex> guard(presenter_lock);
        previous = std::exchange(installed_presenter, std::move(replacement));
    }
    return previous ? *previous : MessageBoxPresenter();
}

int DefaultButtonAnswer(uint32_t style) {
    const std::vector<int> buttons = Buttons(style);
    const size_t index = (style & kMbDefaultButtonMask) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int LogMessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    return WriteBox(text, caption, style, false);
}

}  // namespace ruzd::platform
