// The service manager's database and its calls that need no running service: records, their
// configuration, listings, rights, the lock, what a status reads as, and the run files' rights
// and bounded waits.

#include "platform/service_manager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/owned_fd.h"
#include "platform/process_identity.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/service_control_channel.h"
#include "platform/service_record.h"
#include "platform/service_run_files.h"
#include "platform/win_error.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

// An open handle of the manager or of a service, closed when the test ends.
class Handle {
public:
    explicit Handle(ScHandle handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ScHandle get() const { return handle_; }

private:
    ScHandle handle_;
};

class ServiceManagerTest : public ::testing::Test {
protected:
    ScHandle Create(std::string_view name, std::string_view display,
                    const std::vector<std::string>& dependencies = {},
                    uint32_t start = kServiceDemandStart) {
        return CreateService(manager_.get(), name, display, kServiceAllAccess,
                             kServiceWin32OwnProcess, start, kServiceErrorNormal,
                             "\"C:\\Program Files\\Ruzd\\x.exe\" -service", "", nullptr,
                             dependencies, "", "secret");
    }

    testing::TempRoot root_;
    Handle manager_{OpenSCManager("", "", kScManagerAllAccess)};
};

TEST_F(ServiceManagerTest, ARecordIsCreatedOnceAndReadBackAsConfigured) {
    ASSERT_NE(manager_.get(), nullptr);
    Handle service(Create("Ruzd", "Ruzd Service", {"Other"}));
    ASSERT_NE(service.get(), nullptr) << GetLastError();
    EXPECT_EQ(Create("RUZD", "Another"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorServiceExists);
    EXPECT_EQ(Create("Second", "ruzd service"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorDuplicateServiceName);
    EXPECT_EQ(Create("a\\b", ""), nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidName);
    EXPECT_EQ(Create(std::string(60, 'n'), ""), nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidName);
    EXPECT_EQ(CreateService(manager_.get(), "Driver", "", kServiceAllAccess, kServiceKernelDriver,
                            kServiceDemandStart, 0, "x", "", nullptr, {}, "", ""),
              nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);

    ServiceConfig config;
    ASSERT_TRUE(QueryServiceConfig(service.get(), &config));
    EXPECT_EQ(config.binary_path_name, "\"C:\\Program Files\\Ruzd\\x.exe\" -service");
    EXPECT_EQ(config.display_name, "Ruzd Service");
    EXPECT_EQ(config.service_start_name, "LocalSystem");
    EXPECT_EQ(config.dependencies, std::vector<std::string>{"Other"});
    EXPECT_EQ(config.start_type, kServiceDemandStart);

    ASSERT_TRUE(ChangeServiceConfig(service.get(), kServiceNoChange, kServiceAutoStart,
                                    kServiceNoChange, std::nullopt, std::nullopt, nullptr,
                                    std::vector<std::string>{}, std::string(".\\ruzd"), "pw",
                                    std::string("Ruzd Node")));
    ServiceConfig2 level;
    level.description = "The node";
    ASSERT_TRUE(ChangeServiceConfig2(service.get(), kServiceConfigDescription, level));
    level.failure_actions.reset_period_s = 86400;
    level.failure_actions.command = "cmd /c x";
    level.failure_actions.actions =
        std::vector<ScAction>{{kScActionRestart, 500}, {kScActionRunCommand, 0}};
    ASSERT_TRUE(ChangeServiceConfig2(service.get(), kServiceConfigFailureActions, level));
    level.delayed_auto_start = true;
    ASSERT_TRUE(ChangeServiceConfig2(service.get(), kServiceConfigDelayedAutoStartInfo, level));
    EXPECT_FALSE(ChangeServiceConfig2(service.get(), 9, level));
    EXPECT_EQ(GetLastError(), kErrorInvalidLevel);

    ServiceRecord record;
    ASSERT_EQ(ReadServiceRecord("ruzd", &record), kErrorSuccess);
    EXPECT_EQ(record.name, "Ruzd");
    EXPECT_EQ(record.start, kServiceAutoStart);
    EXPECT_EQ(record.object_name, ".\\ruzd");
    EXPECT_TRUE(record.dependencies.empty());
    EXPECT_EQ(record.description, "The node");
    EXPECT_TRUE(record.delayed_autostart);
    EXPECT_EQ(record.failure_command, "cmd /c x");
    // Reset period, count, then type and delay of each action, 32-bit little-endian.
    EXPECT_EQ(record.failure_actions,
              std::string("\x80\x51\x01\0\2\0\0\0\1\0\0\0\xF4\1\0\0\3\0\0\0\0\0\0\0", 24));
    ServiceConfig2 read;
    ASSERT_TRUE(QueryServiceConfig2(service.get(), kServiceConfigFailureActions, &read));
    EXPECT_EQ(read.failure_actions.actions, level.failure_actions.actions);
    EXPECT_EQ(read.failure_actions.reset_period_s, 86400u);

    EXPECT_TRUE(SetServiceObjectSecurity(service.get(), 4, std::string("\1\0\4\x80", 4)));
    std::string descriptor;
    ASSERT_TRUE(QueryServiceObjectSecurity(service.get(), 4, &descriptor));
    EXPECT_EQ(descriptor, std::string("\1\0\4\x80", 4));

    EXPECT_FALSE(DecodeFailureActions(std::string(12, '\0')));
    EXPECT_FALSE(DecodeFailureActions(std::string("\0\0\0\0\2\0\0\0\1\0\0\0\0\0\0\0", 16)));
}

TEST_F(ServiceManagerTest, HandlesAllowOnlyWhatTheyWereOpenedFor) {
    Handle created(Create("Ruzd", "Ruzd Service"));
    Handle reader(OpenService(manager_.get(), "Ruzd", kGenericRead));
    ASSERT_NE(reader.get(), nullptr);
    ServiceStatus status;
    EXPECT_TRUE(QueryServiceStatus(reader.get(), &status));
    EXPECT_FALSE(StartService(reader.get(), {}));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(DeleteService(reader.get()));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(ControlService(reader.get(), kServiceControlStop, &status));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    Handle connect(OpenSCManager(".", "ServicesActive", kScManagerConnect));
    ASSERT_NE(connect.get(), nullptr);
    EXPECT_EQ(LockServiceDatabase(connect.get()), nullptr);
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_EQ(OpenService(connect.get(), "Missing", kServiceQueryStatus), nullptr);
    EXPECT_EQ(GetLastError(), kErrorServiceDoesNotExist);
    EXPECT_EQ(OpenSCManager("\\\\elsewhere", "", kScManagerConnect), nullptr);
    EXPECT_EQ(GetLastError(), kErrorRpcServerUnavailable);
    EXPECT_EQ(OpenSCManager("", "ServicesFailed", kScManagerConnect), nullptr);
    EXPECT_EQ(GetLastError(), kErrorDatabaseDoesNotExist);
    int stale = 0;
    EXPECT_FALSE(CloseServiceHandle(reinterpret_cast<ScHandle>(&stale)));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);

    // One lock at a time, whoever asks; its status names its owner.
    ScLock lock = LockServiceDatabase(manager_.get());
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(LockServiceDatabase(manager_.get()), nullptr);
    EXPECT_EQ(GetLastError(), kErrorServiceDatabaseLocked);
    LockStatus lock_status;
    ASSERT_TRUE(QueryServiceLockStatus(manager_.get(), &lock_status));
    EXPECT_TRUE(lock_status.is_locked);
    EXPECT_FALSE(lock_status.lock_owner.empty());
    EXPECT_TRUE(UnlockServiceDatabase(lock));
    EXPECT_FALSE(UnlockServiceDatabase(lock));
    EXPECT_EQ(GetLastError(), kErrorInvalidServiceLock);
    ASSERT_TRUE(QueryServiceLockStatus(manager_.get(), &lock_status));
    EXPECT_FALSE(lock_status.is_locked);
}

TEST_F(ServiceManagerTest, ListingsFollowNamesStatesAndDependencies) {
    Handle base(Create("Base", "Base"));
    Handle middle(Create("Middle", "Middle", {"base"}));
    Handle top(Create("Top", "Top", {"Middle"}));
    Handle disabled(Create("Off", "Off", {}, kServiceDisabled));
    // The event logs' key beside the services is no service.
    std::vector<EnumServiceStatus> services;
    ASSERT_TRUE(EnumServicesStatus(manager_.get(), kServiceWin32, kServiceStateAll, &services));
    std::vector<std::string> names;
    for (const EnumServiceStatus& entry : services) {
        names.push_back(entry.service_name);
        EXPECT_EQ(entry.status.current_state, kServiceStopped);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Base", "Middle", "Off", "Top"}));
    ASSERT_TRUE(EnumServicesStatus(manager_.get(), kServiceWin32, kServiceActive, &services));
    EXPECT_TRUE(services.empty());
    std::vector<EnumServiceStatus> dependents;
    ASSERT_TRUE(EnumDependentServices(base.get(), kServiceStateAll, &dependents));
    ASSERT_EQ(dependents.size(), 2u);
    EXPECT_EQ(dependents[0].service_name, "Middle");
    EXPECT_EQ(dependents[1].service_name, "Top");

    EXPECT_FALSE(StartService(disabled.get(), {}));
    EXPECT_EQ(GetLastError(), kErrorServiceDisabled);
    Handle orphan(Create("Orphan", "Orphan", {"Missing"}));
    EXPECT_FALSE(StartService(orphan.get(), {}));
    EXPECT_EQ(GetLastError(), kErrorServiceDependencyFail);

    // The manager made the event logs' keys, each with an empty list of sources.
    for (const char* log : {"Application", "System", "Security"}) {
        RegistryKey key;
        ASSERT_EQ(RegistryKey::LocalMachine().OpenSubKey(
                      std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + log,
                      RegAccess::kRead, &key),
                  kErrorSuccess);
        uint32_t type = 0;
        uint32_t size = 0;
        EXPECT_EQ(key.QueryValue("Sources", &type, nullptr, &size), kErrorSuccess);
        EXPECT_EQ(type, kRegMultiSz);
        EXPECT_EQ(size, 2u);
    }
}

TEST_F(ServiceManagerTest, AStatusReadsAsStoppedOnceItsProcessIsGone) {
    Handle service(Create("Ruzd", "Ruzd"));
    ServiceStatus status;
    ASSERT_TRUE(QueryServiceStatus(service.get(), &status));
    EXPECT_EQ(status.current_state, kServiceStopped);
    EXPECT_EQ(status.win32_exit_code, kErrorServiceNeverStarted);
    EXPECT_FALSE(ControlService(service.get(), kServiceControlStop, &status));
    EXPECT_EQ(GetLastError(), kErrorServiceNotActive);

    // Running as reported by this process: it is alive, so the status stands.
    const ServiceStatus running{
        kServiceWin32OwnProcess, kServiceRunning, kServiceAcceptStop, 0, 0, 0, 0};
    ASSERT_EQ(WriteServiceStatusFile("Ruzd", running, CurrentProcessId()), kErrorSuccess);
    ServiceStatusProcess full;
    ASSERT_TRUE(QueryServiceStatusEx(service.get(), &full));
    EXPECT_EQ(full.status, running);
    EXPECT_EQ(full.process_id, CurrentProcessId());
    // Nobody listens on its control socket, so a control finds it gone.
    EXPECT_FALSE(ControlService(service.get(), kServiceControlInterrogate, &status));
    EXPECT_EQ(GetLastError(), kErrorServiceNotActive);
    // Reported by a process that does not exist: stopped, the process ended unexpectedly.
    ASSERT_EQ(WriteServiceStatusFile("Ruzd", running, 0x7FFFFFF0), kErrorSuccess);
    ASSERT_TRUE(QueryServiceStatusEx(service.get(), &full));
    EXPECT_EQ(full.status.current_state, kServiceStopped);
    EXPECT_EQ(full.status.win32_exit_code, kErrorProcessAborted);
    EXPECT_EQ(full.process_id, 0u);

    EXPECT_TRUE(DeleteService(service.get()));
    EXPECT_FALSE(QueryServiceConfig(service.get(), nullptr));
    EXPECT_EQ(GetLastError(), kErrorServiceMarkedForDelete);
}

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat found {};
    return ::lstat(path.c_str(), &found) == 0 ? found.st_mode & 07777 : 0;
}

TEST_F(ServiceManagerTest, RunFilesAreTheirOwnersAloneAndEveryWaitOnThemEnds) {
    Handle service(Create("Ruzd", "Ruzd"));
    // What an older build left, open to everyone, is closed as it is next used.
    std::filesystem::create_directories(ServiceRunFolder("Ruzd"));
    std::filesystem::permissions(ServiceRunFolder("Ruzd"), std::filesystem::perms(0755));
    std::ofstream(ServiceStatusFile("Ruzd")) << "old";
    std::filesystem::permissions(ServiceStatusFile("Ruzd"), std::filesystem::perms(0644));
    const ServiceStatus running{
        kServiceWin32OwnProcess, kServiceRunning, kServiceAcceptStop, 0, 0, 0, 0};
    ASSERT_EQ(WriteServiceStatusFile("Ruzd", running, CurrentProcessId()), kErrorSuccess);
    EXPECT_EQ(ModeOf(ServiceRunFolder("Ruzd")), 0700u);
    EXPECT_EQ(ModeOf(ServiceStatusFile("Ruzd")), 0600u);
    const OwnedFd listener(ListenServiceControl("Ruzd"));
    ASSERT_GE(listener.get(), 0);
    EXPECT_EQ(ModeOf(ServiceControlSocket("Ruzd")), 0600u);
    ScLock lock = LockServiceDatabase(manager_.get());
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(ModeOf(root_.path() / "run" / "service-database.lock"), 0600u);
    UnlockServiceDatabase(lock);

    // A status held locked (by its owner: nobody else can open it) is given up on, with the
    // file's name, and read as no status at all.
    {
        const OwnedFd holder(::open(ServiceStatusFile("Ruzd").c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
        ::testing::internal::CaptureStderr();
        ServiceStatus status;
        EXPECT_FALSE(QueryServiceStatus(service.get(), &status));
        EXPECT_EQ(GetLastError(), kErrorLockViolation);
        EXPECT_FALSE(StartService(service.get(), {}));
        EXPECT_EQ(GetLastError(), kErrorLockViolation);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(
            said.find(ServiceStatusFile("Ruzd").string() + ": held locked by another process"),
            std::string::npos)
            << said;
    }
    ServiceStatusProcess full;
    ASSERT_TRUE(QueryServiceStatusEx(service.get(), &full));
    EXPECT_EQ(full.status, running);

    // A control socket whose backlog is full (a service that takes no connection) lets a
    // control wait no longer than its time-out, the connect included.
    std::vector<std::unique_ptr<OwnedFd>> waiting;
    for (int i = 0; i < 1000; ++i) {
        auto socket = std::make_unique<OwnedFd>(
            ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = ServiceControlSocket("Ruzd").string();
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        if (::connect(socket->get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
            ASSERT_EQ(errno, EAGAIN);
            break;
        }
        waiting.push_back(std::move(socket));
    }
    ::testing::internal::CaptureStderr();
    ServiceControlReply reply;
    EXPECT_EQ(ExchangeServiceControl("Ruzd", kServiceControlInterrogate, 0, 300, &reply),
              kErrorServiceRequestTimeout);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(ServiceControlSocket("Ruzd").string() + ": the service did not answer"),
              std::string::npos)
        << said;
}

TEST_F(ServiceManagerTest, TheStatusGoesToTheServicesAccountThroughItsDescriptorAndNoOtherFile) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may give a file to another account";
    const FileOwner nobody{65534, 65534};
    const ServiceStatus pending{kServiceWin32OwnProcess, kServiceStartPending, 0, 0, 0, 0, 0};
    ASSERT_EQ(WriteServiceStatusFile("Ruzd", pending, CurrentProcessId(), nobody), kErrorSuccess);
    EXPECT_EQ(testing::OwnerUid(ServiceStatusFile("Ruzd")), nobody.uid);
    EXPECT_EQ(ModeOf(ServiceStatusFile("Ruzd")), 0600u);
    // Written again by the supervisor, it stays the account's.
    ASSERT_EQ(WriteServiceStatusFile("Ruzd", pending, CurrentProcessId()), kErrorSuccess);
    EXPECT_EQ(testing::OwnerUid(ServiceStatusFile("Ruzd")), nobody.uid);

    // A second name of a file of root's in its place, or a symbolic link to it: the file is
    // neither written nor given away, and the refusal names the status file.
    const std::filesystem::path roots = root_.path() / "root's own";
    std::ofstream(roots) << "root's";
    std::filesystem::permissions(roots, std::filesystem::perms(0600));
    const auto refused = [&](const char* what) {
        ::testing::internal::CaptureStderr();
        EXPECT_NE(WriteServiceStatusFile("Ruzd", pending, CurrentProcessId(), nobody),
                  kErrorSuccess)
            << what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(ServiceStatusFile("Ruzd").string() +
                            ": cannot be written: no plain file of its own"),
                  std::string::npos)
            << what << ": " << said;
        EXPECT_EQ(testing::OwnerUid(roots), 0u) << what;
        std::ifstream in(roots);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "root's") << what;
    };
    std::filesystem::remove(ServiceStatusFile("Ruzd"));
    std::filesystem::create_hard_link(roots, ServiceStatusFile("Ruzd"));
    refused("a hard link");
    std::filesystem::remove(ServiceStatusFile("Ruzd"));
    std::filesystem::create_symlink(roots, ServiceStatusFile("Ruzd"));
    refused("a symbolic link");
    // Without an owner nothing is said: the service's own reports tell their failures.
    ::testing::internal::CaptureStderr();
    EXPECT_NE(WriteServiceStatusFile("Ruzd", pending, CurrentProcessId()), kErrorSuccess);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace ruzd::platform
