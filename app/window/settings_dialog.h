#pragma once

// The debug settings dialog: the trace level, the debug directory, how often a new file starts
// and how many files are kept. OK applies them through the application (locally, or to the
// service in the attached window); a number of files that is not a whole number keeps the
// dialog open with a message and applies nothing.

#include <wx/dialog.h>

#include "app/view/settings_edit.h"

class wxChoice;
class wxTextCtrl;

namespace ruzd::app {
class CVesmarinApp;
}

namespace ruzd::app::window {

class GuiTestSeam;

class SettingsDialog : public wxDialog {
public:
    SettingsDialog(wxWindow* parent, CVesmarinApp& app);

    // Applies the fields; false (after telling the user) when they cannot be taken.
    static bool Apply(CVesmarinApp& app, const SettingsFields& fields);

private:
    void OnOk(wxCommandEvent& event);

    CVesmarinApp& app_;
    wxChoice* level_ = nullptr;
    wxTextCtrl* directory_ = nullptr;
    wxChoice* interval_ = nullptr;
    wxTextCtrl* files_ = nullptr;
};

// The dialog, or in a test the answer "settings=..." of answers.txt in its place.
void EditDebugSettings(wxWindow* parent, CVesmarinApp& app, GuiTestSeam* seam);

}  // namespace ruzd::app::window
