#include "app/window/about_box.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <fstream>

#include "app/view/window_texts.h"
#include "app/window/gui_test_seam.h"
#include "app/window/toolbar_images.h"

namespace ruzd::app::window {

namespace {
// The about command's picture among the toolbar's.
constexpr size_t kAboutPicture = 3;
}  // namespace

void ShowAboutBox(wxWindow* parent, GuiTestSeam* seam) {
    const AboutTexts texts = LoadAboutTexts();
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
