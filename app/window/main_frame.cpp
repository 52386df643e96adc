#include "app/window/main_frame.h"

#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include <filesystem>
#include <system_error>

#include "app/vesmarin_app.h"
#include "app/view/service_debug_files.h"
#include "app/window/about_box.h"
#include "app/window/gui_test_seam.h"
#include "app/window/settings_dialog.h"
#include "app/window/toolbar_images.h"
#include "platform/screen_capture.h"

namespace ruzd::app::window {

namespace {

constexpr int kClockTimerId = 1001;
constexpr int kClockPeriodMs = 1000;

// The toolkit takes ids below 0x7FFF only, and keeps some of its own: the commands get ids of
// the toolkit's user range, in a fixed order.
constexpr int kAllCommands[] = {kCmdStopNode,      kCmdDebugOnOff,    kCmdHardExit,
                                kCmdDebugThisFile, kCmdPickDebugFile, kCmdDebugSettings,
                                kCmdFilePrint,     kCmdAppAbout,      kCmdAppExit};

int WxIdOf(int command) {
    for (size_t index = 0; index < std::size(kAllCommands); ++index) {
        if (kAllCommands[index] == command) {
            return wxID_HIGHEST + 1 + static_cast<int>(index);
        }
    }
    return wxID_ANY;
}

int CommandOf(int wxId) {
    const int index = wxId - wxID_HIGHEST - 1;
    return index >= 0 && index < static_cast<int>(std::size(kAllCommands)) ? kAllCommands[index]
                                                                           : 0;
}

std::string ToolTipOf(int id) {
    if (std::optional<std::string> prompt = CommandPrompt(id)) {
        const size_t feed = prompt->find('\n');
        return feed == std::string::npos ? *prompt : prompt->substr(feed + 1);
    }
    return CommandLabel(id);
}

std::string StatusPromptOf(int id) {
    if (std::optional<std::string> prompt = CommandPrompt(id)) {
        return prompt->substr(0, prompt->find('\n'));
    }
    return CommandLabel(id);
}

}  // namespace

MainFrame::MainFrame(CVesmarinApp& app, GuiTestSeam* seam, ServiceLinkFactory linkFactory,
                     std::function<void(std::function<void()>)> post)
    : wxFrame(nullptr, wxID_ANY, "Pelwix", wxDefaultPosition, wxSize(900, 600)),
      app_(app),
      seam_(seam),
      post_(std::move(post)),
      clock_timer_(this, kClockTimerId) {
    CreateMenus();
    CreateToolbar();
    list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                           wxLC_REPORT | wxLC_SINGLE_SEL);
    int column = 0;
    for (const StatusColumn& status : kStatusColumns) {
        // At least the column's width, wider when its title needs it.
        const int needed = list_->GetTextExtent(status.title).GetWidth() + 16;
        list_->InsertColumn(column++, status.title, wxLIST_FORMAT_LEFT,
                            std::max(status.width, needed));
    }
    CreateStatusBar(3);
    view_ = std::make_unique<CVesmarinView>(app, *this, std::move(linkFactory));

    Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { view_->OnClockTick(); }, kClockTimerId);
    Bind(wxEVT_TOOL, [this](wxCommandEvent& event) { RunCommand(CommandOf(event.GetId())); });
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) { RunCommand(CommandOf(event.GetId())); });
    for (int id : StatefulCommands()) {
        Bind(wxEVT_UPDATE_UI, &MainFrame::OnUpdateCommand, this, WxIdOf(id));
    }
    ShowPanes(view_->Panes());
    clock_timer_.Start(kClockPeriodMs);
}

MainFrame::~MainFrame() {
    clock_timer_.Stop();
    ReleaseView();
}

void MainFrame::ReleaseView() {
    clock_timer_.Stop();
    view_.reset();
}

void MainFrame::CreateMenus() {
    auto* file = new wxMenu;
    file->Append(WxIdOf(kCmdAppExit), "E&xit");
    auto* node = new wxMenu;
    for (int id : {kCmdStopNode, kCmdHardExit}) {
        node->Append(WxIdOf(id), CommandLabel(id), StatusPromptOf(id));
    }
    node->AppendSeparator();
    node->AppendCheckItem(WxIdOf(kCmdDebugOnOff), CommandLabel(kCmdDebugOnOff),
                          StatusPromptOf(kCmdDebugOnOff));
    for (int id : {kCmdDebugThisFile, kCmdPickDebugFile, kCmdDebugSettings}) {
        node->Append(WxIdOf(id), CommandLabel(id), StatusPromptOf(id));
    }
    auto* help = new wxMenu;
    help->Append(WxIdOf(kCmdAppAbout), "&About Pelwix...");
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(node, "&Node");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
}

void MainFrame::CreateToolbar() {
    wxToolBar* toolbar = CreateToolBar(wxTB_FLAT | wxTB_HORIZONTAL | wxTB_TOP);
    toolbar->SetToolBitmapSize(wxSize(kToolbarImageSize, kToolbarImageSize));
    const std::vector<wxBitmap> bitmaps = ToolbarBitmaps();
    size_t picture = 0;
    for (int id : ToolbarLayout()) {
        if (id == kToolbarSeparator) {
            toolbar->AddSeparator();
            continue;
        }
        const wxItemKind kind = id == kCmdDebugOnOff ? wxITEM_CHECK : wxITEM_NORMAL;
        toolbar->AddTool(WxIdOf(id), CommandLabel(id), bitmaps[picture++], ToolTipOf(id), kind);
    }
    toolbar->Realize();
}

void MainFrame::OnClose(wxCloseEvent& event) {
    // The view decides whether and how the program ends; the frame stays.
    if (event.CanVeto()) {
        event.Veto();
    }
    if (view_) {
        view_->TryToClose();
    }
}

void MainFrame::OnUpdateCommand(wxUpdateUIEvent& event) {
    if (!view_) {
        return;
    }
    const int id = CommandOf(event.GetId());
    const CommandState state = view_->StateOf(id);
    event.Enable(state.enabled);
    if (id == kCmdDebugOnOff) {
        event.Check(state.checked);
    }
}

void MainFrame::RunCommand(int id) {
    if (!view_) {
        return;
    }
    if (id == kCmdAppAbout) {
        ShowAboutBox(this, seam_);
        return;
    }
    view_->RunCommand(id);
}

void MainFrame::ShowRows(const StatusRows& rows, std::optional<size_t> row) {
    const std::vector<StatusRow>& all = rows.Rows();
    auto draw = [this, &all](size_t index) {
        const StatusRow& status = all[index];
        const long item = static_cast<long>(index);
        if (item >= list_->GetItemCount()) {
            list_->InsertItem(item, wxString::FromUTF8(status.board));
        }
        list_->SetItem(item, 1, wxString::Format("%i", status.port));
        list_->SetItem(item, 2, wxString::FromUTF8(status.status));
        list_->SetItem(item, 3, wxString::Format("%i", status.param));
    };
    if (row) {
        draw(*row);
    } else {
        list_->DeleteAllItems();
        for (size_t index = 0; index < all.size(); ++index) {
            draw(index);
        }
    }
    WriteState();
}

void MainFrame::ShowPanes(const PaneTexts& panes) {
    wxStatusBar* bar = GetStatusBar();
    if (bar == nullptr) {
        return;
    }
    const std::string texts[] = {panes.status, panes.connection, panes.clock};
    int widths[3];
    wxClientDC dc(bar);
    dc.SetFont(bar->GetFont());
    for (int pane = 0; pane < 3; ++pane) {
        const int needed = dc.GetTextExtent(wxString::FromUTF8(texts[pane])).GetWidth() + 16;
        widths[pane] = std::max(kPaneMinWidths[pane], needed);
        bar->SetStatusText(wxString::FromUTF8(texts[pane]), pane);
    }
    // The status text takes what is left, but never less than its least width.
    widths[0] = -1;
    bar->SetStatusWidths(3, widths);
    WriteState();
}

void MainFrame::CommandsChanged() {
    UpdateWindowUI(wxUPDATE_UI_RECURSE);
    if (wxToolBar* toolbar = GetToolBar()) {
        for (int id : StatefulCommands()) {
            const CommandState state = view_->StateOf(id);
            toolbar->EnableTool(WxIdOf(id), state.enabled);
            if (id == kCmdDebugOnOff) {
                toolbar->ToggleTool(WxIdOf(id), state.checked);
            }
        }
    }
    WriteState();
}

std::optional<std::string> MainFrame::PickDebugFile(const std::string& startFolder) {
    if (seam_ != nullptr) {
        seam_->NoteBox("Open", startFolder);
        const std::optional<std::string> answer = seam_->NextAnswer("file");
        if (!answer || *answer == "cancel") {
            return std::nullopt;
        }
        return answer;
    }
    std::string wildcard;
    for (const DebugFileFilter& filter : kDebugFileFilters) {
        wildcard += std::string(wildcard.empty() ? "" : "|") + filter.label + "|" + filter.pattern;
    }
    wxFileDialog dialog(this, "Open", wxString::FromUTF8(startFolder), wxEmptyString,
                        wxString::FromUTF8(wildcard), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) {
        return std::nullopt;
    }
    return dialog.GetPath().utf8_string();
}

void MainFrame::EditDebugSettings() {
    window::EditDebugSettings(this, app_, seam_);
}

void MainFrame::WriteState() {
    if (seam_ == nullptr || !view_ || !IsShown()) {
        return;
    }
    const wxRect frame = GetScreenRect();
    const wxRect list = list_->GetScreenRect();
    std::string text = ViewStateText(GetTitle().utf8_string(), *view_);
    text += "frame=" + std::to_string(frame.x) + "," + std::to_string(frame.y) + "," +
            std::to_string(frame.width) + "," + std::to_string(frame.height) + "\n";
    text += "list=" + std::to_string(list.x) + "," + std::to_string(list.y) + "," +
            std::to_string(list.width) + "," + std::to_string(list.height) + "\n";
    seam_->WriteState(text);
}

void MainFrame::GrabToPicture() {
    if (seam_ == nullptr) {
        return;
    }
    Raise();
    Refresh();
    Update();
    WriteState();
    platform::ScreenBits screen;
    if (platform::CaptureScreen(screen) != platform::ScreenCapture::kCaptured) {
        return;
    }
    const wxRect frame = GetScreenRect().Intersect(wxRect(0, 0, screen.width, screen.height));
    if (frame.IsEmpty()) {
        return;
    }
    wxImage image(frame.width, frame.height);
    const uint32_t rowBytes = platform::RowBytes24(screen.width);
    for (int y = 0; y < frame.height; ++y) {
        // The bits run from the bottom row up.
        const size_t row = static_cast<size_t>(screen.height - 1 - (frame.y + y)) * rowBytes;
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* pixel = &screen.bits[row + static_cast<size_t>(frame.x + x) * 3];
            image.SetRGB(x, y, pixel[2], pixel[1], pixel[0]);
        }
    }
    // Whole or not at all, for the reader that waits for it.
    const std::filesystem::path picture = seam_->FramePicture();
    std::filesystem::path next = picture;
    next += ".new";
    if (image.SaveFile(next.string(), wxBITMAP_TYPE_PNG)) {
        std::error_code error;
        std::filesystem::rename(next, picture, error);
    }
}

}  // namespace ruzd::app::window
