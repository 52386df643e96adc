#pragma once

// The service side of the service manager, shaped like Win32's: a service program hands its
// service main to the control dispatcher, which runs it on a thread of its own and takes the
// controls of the service's control socket on the calling thread, calling the registered handler
// there; the service reports its status, which goes to its status file and, under systemd, to
// sd_notify ("READY=1" when running, "STOPPING=1" when stopping, "EXTEND_TIMEOUT_USEC=" with the
// wait hint while pending).
//
// A manager starts the program with RUZD_SERVICE_NAME naming the service; the local supervisor
// also passes the control socket as descriptor 3 (RUZD_SERVICE_CONTROL_FD) and the start's
// arguments as one command line (RUZD_SERVICE_ARGUMENTS).
//
// A control is answered kErrorServiceCannotAcceptCtrl while the service is pending,
// kErrorInvalidServiceControl when it is not among the accepted controls (interrogate and the
// user-defined 128 to 255 always are), kErrorServiceNotActive once it reported stopped, and
// kErrorInvalidParameter when the packet is no whole request; the service runs on after each.
// Under the dispatcher SIGTERM is the stop control (held while the service is pending, until it
// is not); SIGINT, SIGQUIT and SIGHUP are taken and ignored.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_types.h"

namespace ruzd::platform {

inline constexpr const char* kServiceNameVariable = "RUZD_SERVICE_NAME";
inline constexpr const char* kServiceControlFdVariable = "RUZD_SERVICE_CONTROL_FD";
inline constexpr const char* kServiceArgumentsVariable = "RUZD_SERVICE_ARGUMENTS";

// The service main receives the service's name and then the start's arguments.
using ServiceMainFunction = void (*)(const std::vector<std::string>& arguments);

struct ServiceTableEntry {
    std::string service_name;
    ServiceMainFunction service_main = nullptr;
};

// Runs the entry whose name RUZD_SERVICE_NAME gives (without regard to case) and returns once it
// has reported stopped and its service main has returned: true. False with the thread's last
// error: kErrorFailedServiceControllerConnect at once when no manager started the process for
// one of the table's services; kErrorServiceAlreadyRunning when a dispatcher runs already;
// kErrorProcessAborted when the service main returned without having reported stopped. Call it
// before the program starts other threads: it takes the stop signals for every thread.
bool StartServiceCtrlDispatcher(const std::vector<ServiceTableEntry>& table);

using HandlerFunction = void (*)(uint32_t control);
using HandlerExFunction = uint32_t (*)(uint32_t control, uint32_t event_type, void* event_data,
                                       void* context);

// Where a service's status goes; the dispatcher is one, tests bring their own.
class ServiceStatusReporter {
public:
    virtual ~ServiceStatusReporter() = default;
    virtual bool Report(const ServiceStatus& status) = 0;
};
using ServiceStatusHandle = ServiceStatusReporter*;

// The handler of the dispatched service and its status handle; null with the last error set:
// kErrorFailedServiceControllerConnect when no dispatcher runs, kErrorServiceDoesNotExist for
// another service's name.
ServiceStatusHandle RegisterServiceCtrlHandler(std::string_view service_name,
                                               HandlerFunction handler);
ServiceStatusHandle RegisterServiceCtrlHandlerEx(std::string_view service_name,
                                                 HandlerExFunction handler, void* context);

// False (kErrorInvalidHandle) for a null handle, else the reporter's result. The dispatcher
// takes no status but stopped once the service reported stopped (kErrorServiceNotActive).
bool SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status);

// The service this process was started for by a manager; empty when none.
std::string ServiceNameFromManager();

}  // namespace ruzd::platform
