#include "app/window/settings_dialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>
#include <variant>
#include <vector>

#include "app/vesmarin_app.h"
#include "app/window/gui_test_seam.h"
#include "platform/message_box.h"

namespace ruzd::app::window {

namespace {

wxArrayString Choices(const std::vector<std::string>& texts) {
    wxArrayString choices;
    for (const std::string& text : texts) {
        choices.Add(wxString::FromUTF8(text));
    }
    return choices;
}

// "<level>|<directory>|<interval>|<files>"; none for a line of another shape.
std::optional<SettingsFields> ParseAnswer(const std::string& answer) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t bar; (bar = answer.find('|', start)) != std::string::npos; start = bar + 1) {
        parts.push_back(answer.substr(start, bar - start));
    }
    parts.push_back(answer.substr(start));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    try {
        return SettingsFields{std::stoi(parts[0]), parts[1], std::stoi(parts[2]), parts[3]};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

SettingsDialog::SettingsDialog(wxWindow* parent, CVesmarinApp& app)
    : wxDialog(parent, wxID_ANY, "Debug Settings"), app_(app) {
    const SettingsFields fields = FieldsFrom(app.GetDebugSettings());
    auto* grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    level_ =
        new wxChoice(this, 1006, wxDefaultPosition, wxDefaultSize, Choices(TraceLevelChoices()));
    directory_ = new wxTextCtrl(this, 1008, wxString::FromUTF8(fields.directory), wxDefaultPosition,
                                wxSize(320, -1));
    interval_ =
        new wxChoice(this, 1007, wxDefaultPosition, wxDefaultSize, Choices(IntervalChoices()));
    files_ = new wxTextCtrl(this, 1009, wxString::FromUTF8(fields.filesToKeep));
    level_->SetSelection(fields.traceLevel);
    interval_->SetSelection(fields.fileType);
    const std::pair<const char*, wxWindow*> rows[] = {{"Debug Info:", level_},
                                                      {"Debug Directory:", directory_},
                                                      {"Debug File Each:", interval_},
                                                      {"# Debugfiles To Keep:", files_}};
    for (const auto& [label, control] : rows) {
        grid->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(control, 1, wxEXPAND);
    }
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(grid, 1, wxEXPAND | wxALL, 12);
    column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 8);
    SetSizerAndFit(column);
    Bind(wxEVT_BUTTON, &SettingsDialog::OnOk, this, wxID_OK);
}

bool SettingsDialog::Apply(CVesmarinApp& app, const SettingsFields& fields) {
    auto applied = ApplyFields(app.GetDebugSettings(), fields);
    if (const std::string* message = std::get_if<std::string>(&applied)) {
        platform::ShowMessageBox(*message, "Pelwix", platform::kMbOk | platform::kMbIconWarning);
        return false;
    }
    app.SetDebugSettings(std::get<DebugSettings>(applied));
    return true;
}

void SettingsDialog::OnOk(wxCommandEvent&) {
    const SettingsFields fields{level_->GetSelection(), directory_->GetValue().utf8_string(),
                                interval_->GetSelection(), files_->GetValue().utf8_string()};
    if (Apply(app_, fields)) {
        EndModal(wxID_OK);
    }
}

void EditDebugSettings(wxWindow* parent, CVesmarinApp& app, GuiTestSeam* seam) {
    if (seam == nullptr) {
        SettingsDialog dialog(parent, app);
        dialog.ShowModal();
        return;
    }
    // A test's answer is what the user typed before pressing OK once.
    const std::optional<std::string> answer = seam->NextAnswer("settings");
    if (!answer || *answer == "cancel") {
        return;
    }
    if (std::optional<SettingsFields> fields = ParseAnswer(*answer)) {
        SettingsDialog::Apply(app, *fields);
    }
}

}  // namespace ruzd::app::window
