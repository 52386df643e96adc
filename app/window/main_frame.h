#pragma once

// The main window of the window modes: a toolbar, the report list of the ports and a status
// bar with the status text, the connection state and a UTC clock. It only draws what the
// status view keeps and hands every command and close request to the view.

#include <wx/frame.h>
#include <wx/timer.h>

#include <memory>

#include "app/view/vesmarin_view.h"

class wxListCtrl;
class wxUpdateUIEvent;

namespace ruzd::app::window {

class GuiTestSeam;

class MainFrame : public wxFrame, public ViewWindow {
public:
    // `post` runs work on the window's thread from any thread (it outlives the frame's use).
    MainFrame(CVesmarinApp& app, GuiTestSeam* seam, ServiceLinkFactory linkFactory,
              std::function<void(std::function<void()>)> post);
    ~MainFrame() override;

    CVesmarinView& View() { return *view_; }
    // The view goes first, while the controls it draws on still exist.
    void ReleaseView();
    // A grab of the frame from the screen into the test seam's picture.
    void GrabToPicture();
    void RunCommand(int id);

    // ViewWindow
    void Post(std::function<void()> work) override { post_(std::move(work)); }
    void ShowRows(const StatusRows& rows, std::optional<size_t> row) override;
    void ShowPanes(const PaneTexts& panes) override;
    void CommandsChanged() override;
    std::optional<std::string> PickDebugFile(const std::string& startFolder) override;
    void EditDebugSettings() override;

private:
    void CreateToolbar();
    void CreateMenus();
    void OnClose(wxCloseEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    void WriteState();

    CVesmarinApp& app_;
    GuiTestSeam* const seam_;
    const std::function<void(std::function<void()>)> post_;
    wxListCtrl* list_ = nullptr;
    wxTimer clock_timer_;
    std::unique_ptr<CVesmarinView> view_;
};

}  // namespace ruzd::app::window
