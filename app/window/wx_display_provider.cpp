#include "app/window/wx_display_provider.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/display.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <numeric>
#include <utility>

#include "app/window/window_thread.h"
#include "foundation/display_provider.h"
#include "platform/text.h"

namespace ruzd::app::window {

namespace {

using foundation::DisplayRect;
using foundation::MonitorHandle;

constexpr std::chrono::milliseconds kPatience = std::chrono::seconds(30);

DisplayRect RectOf(const wxRect& rect) {
    return {rect.GetLeft(), rect.GetTop(), rect.GetLeft() + rect.GetWidth(),
            rect.GetTop() + rect.GetHeight()};
}

// The text as the toolkit takes it: up to a terminator, as a C string ends, and ill-formed UTF-8
// as U+FFFD rather than no text at all.
wxString ToolkitText(const std::string& text) {
    const std::string whole = text.substr(0, text.find('\0'));
    return wxString::FromUTF8(platform::Utf16ToUtf8(platform::Utf8ToUtf16(whole)));
}

// On the window's thread: `use` with the clipboard open; false when it cannot be opened.
bool WithClipboard(const std::function<bool()>& use) {
    if (!wxTheClipboard->Open()) {
        return false;
    }
    const bool done = use();
    wxTheClipboard->Close();
    return done;
}

class WxDisplayProvider : public foundation::DisplayProvider {
public:
    // Between install and removal: a caller that took the provider before its removal gets no
    // answer after it.
    void SetLive(bool live) { live_ = live; }

    std::optional<std::vector<MonitorHandle>> Monitors() override {
        const int count = Call<int>(-1, [] { return static_cast<int>(wxDisplay::GetCount()); });
        if (count < 0) {
            return std::nullopt;
        }
        std::vector<MonitorHandle> monitors(static_cast<size_t>(count));
        std::iota(monitors.begin(), monitors.end(), MonitorHandle{1});
        return monitors;
    }

    bool MonitorRects(MonitorHandle monitor, DisplayRect* work, DisplayRect* area) override {
        using Rects = std::optional<std::pair<DisplayRect, DisplayRect>>;
        const Rects rects = Call<Rects>(std::nullopt, [monitor]() -> Rects {
            if (monitor == 0 || monitor > wxDisplay::GetCount()) {
                return std::nullopt;
            }
            const wxDisplay display(static_cast<unsigned>(monitor - 1));
            if (!display.IsOk()) {
                return std::nullopt;
            }
            return std::pair(RectOf(display.GetClientArea()), RectOf(display.GetGeometry()));
        });
        if (!rects) {
            return false;
        }
        if (work != nullptr) {
            *work = rects->first;
        }
        if (area != nullptr) {
            *area = rects->second;
        }
        return true;
    }

    void SetClipboardText(const std::string& text) override {
        Call<bool>(false, [text]() -> bool {
            return WithClipboard([&text] {
                // The clipboard takes the data object; setting it empties the clipboard first.
                return wxTheClipboard->SetData(new wxTextDataObject(ToolkitText(text)));
            });
        });
    }

    std::string ClipboardText() override {
        return Call<std::string>({}, []() -> std::string {
            std::string text;
            WithClipboard([&text] {
                // Any text the clipboard offers, UTF-8 or Latin-1, as the toolkit converts it.
                wxTextDataObject data;
                if (!wxTheClipboard->GetData(data)) {
                    return false;
                }
                text = data.GetText().utf8_string();
                return true;
            });
            return text;
        });
    }

private:
    template <typename Result>
    Result Call(Result none, std::function<Result()> work) {
        if (!live_) {
            return none;
        }
        std::optional<Result> result = CallOnWindowThread<Result>(std::move(work), kPatience);
        return result ? std::move(*result) : std::move(none);
    }

    std::atomic<bool> live_{false};
};

// Never destroyed: a thread may still hold it after its removal.
WxDisplayProvider& Provider() {
    static WxDisplayProvider* const provider = new WxDisplayProvider;
    return *provider;
}

// Live first, so that it answers as soon as it is found.
foundation::DisplayProvider* Install() {
    Provider().SetLive(true);
    return foundation::InstallDisplayProvider(&Provider());
}

}  // namespace

ScopedDisplayProvider::ScopedDisplayProvider() : replaced_(Install()) {}

ScopedDisplayProvider::~ScopedDisplayProvider() {
    foundation::InstallDisplayProvider(replaced_);
    Provider().SetLive(false);
}

}  // namespace ruzd::app::window
