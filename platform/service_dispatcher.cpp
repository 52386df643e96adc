#include "platform/service_dispatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/command_line.h"
#include "platform/process_identity.h"
#include "platform/service_control_channel.h"
#include "platform/service_run_files.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

// How long a controller may take to send its request once connected.
constexpr uint32_t kRequestTimeoutMs = 5000;

std::vector<std::string> StartArguments(const std::string& service_name) {
    std::vector<std::string> arguments{service_name};
    const char* line = std::getenv(kServiceArgumentsVariable);
    if (line != nullptr && *line != '\0') {
        // The line holds the arguments alone; a program name in front lets the splitter read
        // the first of them as an ordinary argument.
        std::vector<std::string> split = SplitCommandLine(std::string("x ") + line);
        arguments.insert(arguments.end(), split.begin() + 1, split.end());
    }
    return arguments;
}

// The listening socket a supervisor passed on, or one of our own.
int ControlSocket(std::string_view name, bool* own) {
    const char* passed = std::getenv(kServiceControlFdVariable);
    if (passed != nullptr) {
        const int fd = std::atoi(passed);
        if (fd > 2 && IsListeningControlSocket(fd)) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            *own = false;
            return fd;
        }
    }
    *own = true;
    // Under systemd the service makes its own socket, in the run folder the installation gave
    // its account (or one of its own).
    if (PrepareServiceRunFolder(name, std::nullopt) != kErrorSuccess) {
        errno = EACCES;
        return -1;
    }
    return ListenServiceControl(name);
}

void Notify(const ServiceStatus& status) {
    std::string message;
    if (status.current_state == kServiceRunning) {
        message = "READY=1";
    } else if (status.current_state == kServiceStopPending) {
        message = "STOPPING=1";
    }
    if (IsPendingServiceState(status.current_state) && status.wait_hint != 0) {
        message += (message.empty() ? "" : "\n") +
                   Format("EXTEND_TIMEOUT_USEC=%llu",
                          static_cast<unsigned long long>(status.wait_hint) * 1000ULL);
    }
    if (!message.empty()) {
        sd_notify(0, message.c_str());
    }
}

class Dispatcher : public ServiceStatusReporter {
public:
    static Dispatcher& Instance() {
        static Dispatcher* dispatcher = new Dispatcher;  // handles to it never dangle
        return *dispatcher;
    }

    bool Run(const ServiceTableEntry& entry);

    ServiceStatusHandle Register(std::string_view name, HandlerFunction handler,
                                 HandlerExFunction handler_ex, void* context) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!active_) {
            SetLastError(kErrorFailedServiceControllerConnect);
            return nullptr;
        }
        if (!EqualsIgnoreCase(name, name_)) {
            SetLastError(kErrorServiceDoesNotExist);
            return nullptr;
        }
        handler_ = handler;
        handler_ex_ = handler_ex;
        context_ = context;
        return this;
    }

    bool Report(const ServiceStatus& status) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!active_) {
            SetLastError(kErrorInvalidHandle);
            return false;
        }
        // Once stopped the service has ended: a report still on its way from another thread
        // (a control handler's, say) must not make a clean stop look like a crash.
        if (stopped_ && status.current_state != kServiceStopped) {
            SetLastError(kErrorServiceNotActive);
            return false;
        }
        status_ = status;
        const uint32_t error = WriteServiceStatusFile(name_, status, CurrentProcessId());
        Notify(status);
        if (status.current_state == kServiceStopped) {
            stopped_ = true;
        }
        Wake();
        if (error != kErrorSuccess) {
            SetLastError(error);
            return false;
        }
        return true;
    }

private:
    Dispatcher() = default;

    void Wake() {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wake_write_, &byte, 1);
    }

    ServiceControlReply Dispatch(uint32_t control, uint32_t event_type);
    void Serve(int connection);
    void TakeWakeUps(int wake_read);

    std::mutex mutex_;
    bool active_ = false;
    std::string name_;
    ServiceStatus status_;
    bool stopped_ = false;
    bool main_ended_ = false;
    bool stop_signalled_ = false;
    HandlerFunction handler_ = nullptr;
    HandlerExFunction handler_ex_ = nullptr;
    void* context_ = nullptr;
    int wake_write_ = -1;
};

ServiceControlReply Dispatcher::Dispatch(uint32_t control, uint32_t event_type) {
    ServiceControlReply reply;
    HandlerFunction handler = nullptr;
    HandlerExFunction handler_ex = nullptr;
    void* context = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::optional<uint32_t> bit = AcceptBitForControl(control);
        if (status_.current_state == kServiceStopped) {
            reply.result = kErrorServiceNotActive;
        } else if (IsPendingServiceState(status_.current_state)) {
            reply.result = kErrorServiceCannotAcceptCtrl;
        } else if (!bit || (*bit & status_.controls_accepted) != *bit ||
                   (handler_ == nullptr && handler_ex_ == nullptr)) {
            reply.result = kErrorInvalidServiceControl;
        }
        handler = handler_;
        handler_ex = handler_ex_;
        context = context_;
        if (reply.result != kErrorSuccess) {
            reply.status = status_;
            return reply;
        }
    }
    if (handler_ex != nullptr) {
        reply.result = handler_ex(control, event_type, nullptr, context);
    } else {
        handler(control);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    reply.status = status_;
    return reply;
}

void Dispatcher::Serve(int connection) {
    if (!PeerMayControl(connection)) {
        ServiceControlReply refused;
        refused.result = kErrorAccessDenied;
        SendServiceControlReply(connection, refused);
        return;
    }
    ServiceControlRequest request;
    bool malformed = false;
    if (!ReceiveServiceControl(connection, kRequestTimeoutMs, &request, &malformed)) {
        if (malformed) {
            ServiceControlReply refused;
            refused.result = kErrorInvalidParameter;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                refused.status = status_;
            }
            SendServiceControlReply(connection, refused);
        }
        return;
    }
    SendServiceControlReply(connection, Dispatch(request.control, request.event_type));
}

void Dispatcher::TakeWakeUps(int wake_read) {
    char bytes[64];
    while (::read(wake_read, bytes, sizeof bytes) > 0) {
    }
    bool deliver = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deliver = stop_signalled_ && !stopped_ && !IsPendingServiceState(status_.current_state);
    }
    if (!deliver) {
        return;
    }
    const ServiceControlReply reply = Dispatch(kServiceControlStop, 0);
    std::lock_guard<std::mutex> lock(mutex_);
    // A stop the service is not ready for waits for its next status.
    stop_signalled_ = reply.result == kErrorServiceCannotAcceptCtrl;
}

bool Dispatcher::Run(const ServiceTableEntry& entry) {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    // Taken before the service main starts, so that no thread of the service gets them.
    StopSignals signals(
        {StopSignal::kInterrupt, StopSignal::kTerminate, StopSignal::kQuit, StopSignal::kHangUp});
    bool own_socket = true;
    const int listener = ControlSocket(entry.service_name, &own_socket);
    if (listener < 0) {
        SetLastErrorFromErrno(errno);
        ::close(wake[0]);
        ::close(wake[1]);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        name_ = entry.service_name;
        status_ = ServiceStatus{kServiceWin32OwnProcess, kServiceStartPending, 0, 0, 0, 0, 0};
        stopped_ = false;
        main_ended_ = false;
        stop_signalled_ = false;
        handler_ = nullptr;
        handler_ex_ = nullptr;
        wake_write_ = wake[1];
        active_ = true;
        // This first status tells the manager that the dispatcher runs.
        WriteServiceStatusFile(name_, status_, CurrentProcessId());
    }
    signals.WatchEach([this](StopSignal signal) {
        if (signal == StopSignal::kTerminate) {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_signalled_ = true;
            Wake();
        }
    });
    std::thread service_main(
        [this, main = entry.service_main, arguments = StartArguments(entry.service_name)] {
            main(arguments);
            std::lock_guard<std::mutex> lock(mutex_);
            main_ended_ = true;
            Wake();
        });
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopped_ || main_ended_) {
                break;
            }
        }
        pollfd entries[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            continue;
        }
        if (entries[1].revents != 0) {
            TakeWakeUps(wake[0]);
        }
        if (entries[0].revents != 0) {
            const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0) {
                Serve(connection);
                ::close(connection);
            }
        }
    }
    ::close(listener);
    if (own_socket) {
        std::error_code ignored;
        std::filesystem::remove(ServiceControlSocket(entry.service_name), ignored);
    }
    service_main.join();
    bool stopped = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped = stopped_;
        active_ = false;
        wake_write_ = -1;
    }
    ::close(wake[0]);
    ::close(wake[1]);
    if (!stopped) {
        SetLastError(kErrorProcessAborted);
        return false;
    }
    return true;
}

}  // namespace

bool StartServiceCtrlDispatcher(const std::vector<ServiceTableEntry>& table) {
    const std::string name = ServiceNameFromManager();
    for (const ServiceTableEntry& entry : table) {
        if (!name.empty() && entry.service_main != nullptr &&
            EqualsIgnoreCase(entry.service_name, name)) {
            Dispatcher& dispatcher = Dispatcher::Instance();
            static std::mutex running;
            std::unique_lock<std::mutex> only_one(running, std::try_to_lock);
            if (!only_one.owns_lock()) {
                SetLastError(kErrorServiceAlreadyRunning);
                return false;
            }
            return dispatcher.Run(entry);
        }
    }
    SetLastError(kErrorFailedServiceControllerConnect);
    return false;
}

ServiceStatusHandle RegisterServiceCtrlHandler(std::string_view service_name,
                                               HandlerFunction handler) {
    return Dispatcher::Instance().Register(service_name, handler, nullptr, nullptr);
}

ServiceStatusHandle RegisterServiceCtrlHandlerEx(std::string_view service_name,
                                                 HandlerExFunction handler, void* context) {
    return Dispatcher::Instance().Register(service_name, nullptr, handler, context);
}

bool SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status) {
    if (handle == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    return handle->Report(status);
}

std::string ServiceNameFromManager() {
    const char* name = std::getenv(kServiceNameVariable);
    return name != nullptr ? name : "";
}

}  // namespace ruzd::platform
