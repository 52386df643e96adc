#pragma once

// CVesmarinService: the node as a service. Its work is the application object in service mode
// on a thread of its own, which a stop ends; it prints the node's usage, sets the installed
// service's failure actions, reports the texts of the node's message boxes as events, and keeps
// a small plain-text service log.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/service/nt_service.h"
#include "foundation/lost_lines.h"
#include "platform/service_types.h"

namespace ruzd::app {

class CVesmarinApp;

inline constexpr const char* kNodeServiceName = "Pelwix";
inline constexpr const char* kNodeServiceDisplayName = "Orvanthella Pelwix Service";
// The service log, in Windows form; its folder is never created.
inline constexpr const char* kNodeServiceLogPath = "C:\\Ruzd\\Logging\\VesmarinService.txt";

class CVesmarinService : public CNTService {
public:
    CVesmarinService();

    // Runs the application object until it ends, between start pending and its end, with the
    // events of its start (0x40000001) and its end (0x40000003).
    void ServiceMain(const std::vector<std::string>& arguments) override;
    // Reports stop pending, then asks the application to end; a stop that comes before the
    // application runs ends it as soon as it does.
    void OnStop() override;
    void ShowHelp() override;

    // Sets the installed service's failure actions: false, with an error event, when the
    // service manager or the service cannot be opened, or when the change fails.
    bool ConfigureService(const platform::FailureActions& actions);
    // An error event (0x40000010) with the text, when the event source is registered.
    void ReportMessage(const std::string& text);
    // Appends one line to the service log, whole or not at all: the local date and time, the
    // process id, the message. Without the log's folder the line is lost without a word; any
    // other failure (a full disk, a FIFO in the file's place) is told to the operator
    // (foundation/operator_alert.h), once an hour at most while it lasts, and once lines can be
    // written again the log says how many were lost.
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const std::string& ProgramPath() const { return programPath_; }
    // Whether the application ended with its fatal exit status (kFatalExitCode) in ServiceMain.
    bool EndedFatally() const { return endedFatally_; }

private:
    void LoseLogLine(const std::filesystem::path& path, const std::string& line, int error,
                     bool opened);

    const std::string programPath_;
    // The service log's writers of this process, one at a time, and the lines they lost.
    std::mutex logLock_;
    foundation::LostLines logLost_;
    // The application while ServiceMain runs it; guarded by appLock_ against a stop.
    std::mutex appLock_;
    CVesmarinApp* app_ = nullptr;
    bool stopRequested_ = false;
    bool endedFatally_ = false;
};

}  // namespace ruzd::app
