#include "app/window/wx_message_box.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <optional>
#include <vector>

#include "app/window/window_thread.h"

namespace ruzd::app::window {

namespace {

struct Button {
    int answer;
    const char* label;
};

std::vector<Button> ButtonsOf(uint32_t style) {
    switch (style & platform::kMbButtonsMask) {
        case platform::kMbAbortRetryIgnore:
            return {{platform::kIdAbort, "&Abort"},
                    {platform::kIdRetry, "&Retry"},
                    {platform::kIdIgnore, "&Ignore"}};
        case platform::kMbRetryCancel:
            return {{platform::kIdRetry, "&Retry"}, {platform::kIdCancel, "Cancel"}};
        case platform::kMbCancelTryContinue:
            return {{platform::kIdCancel, "Cancel"},
                    {platform::kIdTryAgain, "&Try Again"},
                    {platform::kIdContinue, "&Continue"}};
        default:
            return {};
    }
}

// The button sets the toolkit has no dialog for: one button per answer, each ending the dialog
// with the answer's number.
int ShowButtonDialog(const std::string& text, const std::string& caption, uint32_t style,
                     const std::vector<Button>& buttons) {
    wxDialog dialog(wxTheApp->GetTopWindow(), wxID_ANY, wxString::FromUTF8(caption));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(&dialog, wxID_ANY, wxString::FromUTF8(text)), 0, wxALL, 12);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    const int defaultAnswer = platform::DefaultButtonAnswer(style);
    for (const Button& button : buttons) {
        auto* control = new wxButton(&dialog, wxID_ANY, button.label);
        const int answer = button.answer;
        control->Bind(wxEVT_BUTTON,
                      [&dialog, answer](wxCommandEvent&) { dialog.EndModal(answer); });
        if (answer == defaultAnswer) {
            control->SetDefault();
        }
        row->Add(control, 0, wxALL, 4);
    }
    column->Add(row, 0, wxALIGN_CENTER | wxBOTTOM, 8);
    dialog.SetSizerAndFit(column);
    // Closing the dialog without a button is its cancel, or its default where it has none.
    dialog.SetEscapeId(wxID_NONE);
    const int result = dialog.ShowModal();
    for (const Button& button : buttons) {
        if (button.answer == result) {
            return result;
        }
    }
    return defaultAnswer;
}

int AnswerOf(int wxAnswer) {
    switch (wxAnswer) {
        case wxID_YES:
            return platform::kIdYes;
        case wxID_NO:
            return platform::kIdNo;
        case wxID_CANCEL:
            return platform::kIdCancel;
        default:
            return platform::kIdOk;
    }
}

}  // namespace

int ShowMessageDialog(const std::string& text, const std::string& caption, uint32_t style,
                      GuiTestSeam* seam) {
    if (seam != nullptr) {
        seam->NoteBox(caption, text);
        if (std::optional<std::string> answer = seam->NextAnswer("box")) {
            try {
                return std::stoi(*answer);
            } catch (const std::exception&) {
            }
        }
        return platform::DefaultButtonAnswer(style);
    }
    const std::vector<Button> buttons = ButtonsOf(style);
    if (!buttons.empty()) {
        return ShowButtonDialog(text, caption, style, buttons);
    }
    long wxStyle = wxOK;
    switch (style & platform::kMbButtonsMask) {
        case platform::kMbOkCancel:
            wxStyle = wxOK | wxCANCEL;
            break;
        case platform::kMbYesNo:
            wxStyle = wxYES_NO;
            break;
        case platform::kMbYesNoCancel:
            wxStyle = wxYES_NO | wxCANCEL;
            break;
        default:
            break;
    }
    switch (style & 0xF0) {
        case platform::kMbIconError:
            wxStyle |= wxICON_ERROR;
            break;
        case platform::kMbIconQuestion:
            wxStyle |= wxICON_QUESTION;
            break;
        case platform::kMbIconWarning:
            wxStyle |= wxICON_WARNING;
            break;
        case platform::kMbIconInformation:
            wxStyle |= wxICON_INFORMATION;
            break;
        default:
            break;
    }
    if ((style & platform::kMbDefaultButtonMask) != 0) {
        wxStyle |= wxNO_DEFAULT;
    }
    wxMessageDialog dialog(wxTheApp->GetTopWindow(), wxString::FromUTF8(text),
                           wxString::FromUTF8(caption), wxStyle);
    return AnswerOf(dialog.ShowModal());
}

platform::MessageBoxPresenter WxMessageBoxPresenter(GuiTestSeam* seam) {
    return [seam](const std::string& text, const std::string& caption, uint32_t style) {
        // A box waits for the user as long as the user takes; the window's loop may end before
        // it shows the box, which then answers itself.
        const std::optional<int> answer = CallOnWindowThread<int>(
            [text, caption, style, seam] { return ShowMessageDialog(text, caption, style, seam); },
            kNoTimeLimit);
        return answer ? *answer : platform::LogMessageBox(text, caption, style);
    };
}

}  // namespace ruzd::app::window
