#include "app/view/view_commands.h"

namespace ruzd::app {

const std::vector<int>& ToolbarLayout() {
    static const std::vector<int> layout = {
        kCmdHardExit,      kCmdStopNode,   kToolbarSeparator, kCmdFilePrint,     kCmdAppAbout,
        kToolbarSeparator, kCmdDebugOnOff, kCmdPickDebugFile, kCmdDebugThisFile, kCmdDebugSettings};
    return layout;
}

const std::vector<int>& StatefulCommands() {
    static const std::vector<int> commands = {
        kCmdStopNode,      kCmdDebugOnOff,    kCmdHardExit,  kCmdDebugThisFile,
        kCmdPickDebugFile, kCmdDebugSettings, kCmdFilePrint, kCmdAppAbout};
    return commands;
}

CommandState CommandStateOf(int id, bool attachedWindow, bool debugEnabled) {
    switch (id) {
        case kCmdStopNode:
        case kCmdHardExit:
            return {!attachedWindow, false};
        case kCmdDebugOnOff:
            return {true, debugEnabled};
        case kCmdDebugThisFile:
        case kCmdPickDebugFile:
        case kCmdDebugSettings:
        case kCmdAppAbout:
        case kCmdAppExit:
            return {true, false};
        default:
            return {false, false};
    }
}

std::optional<std::string> CommandPrompt(int id) {
    switch (id) {
        case kCmdStopNode:
            return "Stop this Pelwix\nExit";
        case kCmdDebugOnOff:
            return "Toggle debug mode\nDebug mode";
        default:
            return std::nullopt;
    }
}

std::string CommandLabel(int id) {
    switch (id) {
        case kCmdHardExit:
            return "Hard exit";
        case kCmdStopNode:
            return "Exit";
        case kCmdFilePrint:
            return "Print";
        case kCmdAppAbout:
            return "About Pelwix";
        case kCmdDebugOnOff:
            return "Debug mode";
        case kCmdPickDebugFile:
            return "Open a debug file";
        case kCmdDebugThisFile:
            return "Open the current debug file";
        case kCmdDebugSettings:
            return "Debug settings";
        case kCmdAppExit:
            return "Exit";
        default:
            return {};
    }
}

std::optional<std::string> CommandTraceScope(int id) {
    switch (id) {
        case kCmdAppExit:
            return "CVesmarinView::OnAppExit";
        case kCmdStopNode:
            return "CVesmarinView::OnButtonexit";
        case kCmdDebugOnOff:
            return "CVesmarinView::OnButtondebugonoff";
        case kCmdHardExit:
            return "CVesmarinView::OnButtonexithard";
        case kCmdDebugThisFile:
            return "CVesmarinView::OnButtondebugthisfile";
        case kCmdPickDebugFile:
            return "CVesmarinView::OnButtonDebugFile";
        default:
            return std::nullopt;
    }
}

}  // namespace ruzd::app
