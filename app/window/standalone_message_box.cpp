#include "app/window/standalone_message_box.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdlib>
#include <memory>

#include "app/window/gui_test_seam.h"
#include "app/window/wx_message_box.h"

namespace ruzd::app::window {

namespace {

class BoxOnlyApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::optional<int> ShowStandaloneMessageBox(const std::string& text, const std::string& caption,
                                            uint32_t style) {
    // Without a display named the toolkit would only complain on stderr before it gives up.
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    wxApp::SetInstance(new BoxOnlyApp);
    int argc = 1;
    char name[] = "Pelwix";
    char* argv[] = {name, nullptr};
    {
        // A display that cannot be opened is told by the result alone.
        const wxLogNull quiet;
        if (!wxEntryStart(argc, argv)) {
            return std::nullopt;
        }
    }
    const std::unique_ptr<GuiTestSeam> seam = GuiTestSeam::FromEnvironment();
    const int answer = ShowMessageDialog(text, caption, style, seam.get());
    wxEntryCleanup();
    return answer;
}

}  // namespace ruzd::app::window
