#include "app/window/about_box.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/platinfo.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>
#include <wx/versioninfo.h>

#include <string>

#include "app/view/window_texts.h"
#include "app/window/gui_test_seam.h"
#include "app/window/toolbar_images.h"

namespace ruzd::app::window {

namespace {
// The about command's picture among the toolbar's.
constexpr size_t kAboutPicture = 3;

// The libraries the window runs on, as loaded: wxWidgets and the toolkit under it (GTK; another
// port by its wxWidgets name).
std::string ToolkitVersions() {
    std::string versions = wxGetLibraryVersionInfo().GetVersionString().utf8_string();
    int major = 0;
    int minor = 0;
    int micro = 0;
    if (wxTheApp != nullptr && wxTheApp->GetTraits() != nullptr) {
        const wxPortId port = wxTheApp->GetTraits()->GetToolkitVersion(&major, &minor, &micro);
        if (major > 0) {
            const std::string name = port == wxPORT_GTK
                                         ? std::string("GTK")
                                         : wxPlatformInfo::GetPortIdName(port, false).utf8_string();
            versions += ", " + name + " " + std::to_string(major) + "." + std::to_string(minor) +
                        "." + std::to_string(micro);
        }
    }
    return versions;
}

}  // namespace

void ShowAboutBox(wxWindow* parent, GuiTestSeam* seam) {
    const AboutTexts texts = LoadAboutTexts(ToolkitVersions());
    const std::pair<int, const std::string*> fields[] = {
        {1000, &texts.product},     {1001, &texts.description}, {1002, &texts.version},
        {1005, &texts.legalNotice}, {1004, &texts.company},     {1003, &texts.build}};
    if (seam != nullptr) {
        std::string text = "3058=" + texts.currentFolder + "\n";
        for (const auto& [id, value] : fields) {
            text += std::to_string(id) + "=" + *value + "\n";
        }
        seam->NoteBox("About Pelwix", text);
        return;
    }
    wxDialog dialog(parent, 100, "About Pelwix");
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticBitmap(&dialog, wxID_ANY, ToolbarBitmaps()[kAboutPicture]), 0, wxALL, 8);
    auto* lines = new wxBoxSizer(wxVERTICAL);
    for (const auto& [id, value] : fields) {
        lines->Add(new wxStaticText(&dialog, id, wxString::FromUTF8(*value)), 0, wxBOTTOM, 4);
    }
    top->Add(lines, 1, wxALL, 8);
    column->Add(top, 0, wxEXPAND);
    auto* folder = new wxStaticBoxSizer(wxVERTICAL, &dialog, "Current Directory");
    folder->Add(
        new wxStaticText(folder->GetStaticBox(), 3058, wxString::FromUTF8(texts.currentFolder)), 0,
        wxALL, 4);
    column->Add(folder, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    column->Add(dialog.CreateStdDialogButtonSizer(wxOK), 0, wxEXPAND | wxALL, 8);
    dialog.SetSizerAndFit(column);
    dialog.ShowModal();
}

}  // namespace ruzd::app::window
