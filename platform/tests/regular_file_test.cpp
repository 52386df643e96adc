#include "platform/regular_file.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/btrieve_engine.h"
#include "platform/child_process.h"
#include "platform/core_dump.h"
#include "platform/dynamic_library.h"
#include "platform/file_handle.h"
#include "platform/loaded_modules.h"
#include "platform/watchdog_device.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "testing/os_for_tests.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

class RegularFileTest : public ::testing::Test {
protected:
    testing::TempDir temp_;
    const std::filesystem::path& folder_ = temp_.path();
};

// A FIFO would hold a plain open (to read) or refuse it oddly (to write, ENXIO): either way the
// caller hears "not a regular file" at once, whatever it opened for.
TEST_F(RegularFileTest, RefusesAFifoAFolderAndASocketAtOnce) {
    const auto fifo = folder_ / "queue.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const int flags : {O_RDONLY, O_WRONLY | O_APPEND | O_CREAT, O_RDWR | O_CREAT}) {
        errno = 0;
        EXPECT_EQ(OpenRegularFile(fifo, flags, 0600), -1) << flags;
        EXPECT_EQ(errno, kNotARegularFileError) << flags;
    }
    EXPECT_EQ(OpenErrorText(kNotARegularFileError), "not a regular file");
    std::string content = "old";
    EXPECT_EQ(ReadRegularFile(fifo, content), kNotARegularFileError);
    EXPECT_TRUE(content.empty());

    EXPECT_EQ(OpenRegularFile(folder_, O_RDONLY), -1);
    EXPECT_EQ(errno, EISDIR);

    const auto socket_path = folder_ / "sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(ReadRegularFile(socket_path, content), kNotARegularFileError);
    ::close(listener);
}

TEST_F(RegularFileTest, ARegularFileOpensBlockingAndReadsWhole) {
    const auto path = folder_ / "map.txt";
    std::string expected(200000, 'x');
    expected += "end";
    std::ofstream(path, std::ios::binary) << expected;
    std::string content;
    EXPECT_EQ(ReadRegularFile(path, content), 0);
    EXPECT_EQ(content, expected);

    const int fd = OpenRegularFile(path, O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);

    const int created = OpenRegularFile(folder_ / "new.txt", O_WRONLY | O_CREAT | O_EXCL, 0640);
    ASSERT_GE(created, 0);
    ::close(created);
    EXPECT_EQ(ReadRegularFile(folder_ / "missing.txt", content), ENOENT);
}

TEST_F(RegularFileTest, AWholeFileIsWrittenOverAndCheckedByItsName) {
    const auto path = folder_ / "out.txt";
    std::ofstream(path) << "an older and longer content";
    EXPECT_EQ(WriteRegularFile(path, "new"), 0);
    std::string content;
    EXPECT_EQ(ReadRegularFile(path, content), 0);
    EXPECT_EQ(content, "new");
    EXPECT_EQ(CheckRegularFile(path), 0);
    EXPECT_EQ(CheckRegularFile(folder_), EISDIR);
    EXPECT_EQ(CheckRegularFile(folder_ / "missing"), ENOENT);
    EXPECT_EQ(WriteRegularFile(folder_, "x"), EISDIR);
}

// The platform's opens by name, each handed a FIFO that nobody holds at its other end: none
// waits there. (A plain open of it waits for a writer, or a reader; a read of one opened both
// ways waits for bytes that never come.)
TEST_F(RegularFileTest, NoOpenByNameOfThePlatformWaitsOnAFifo) {
    testing::TempRoot root;
    const std::filesystem::path fifo = MapWindowsPath("C:\\PIPE.BIN");
    std::filesystem::create_directories(fifo.parent_path());
    ASSERT_TRUE(testing::MakeFifo(fifo));
    EXPECT_EQ(CheckRegularFile(fifo), kNotARegularFileError);
    EXPECT_EQ(WriteRegularFile(fifo, "x"), kNotARegularFileError);

    // Files by handle, as the zip and copy helpers open them.
    EXPECT_EQ(OpenFileForReading("C:\\PIPE.BIN"), -1);
    EXPECT_EQ(GetLastError(), WinErrorFromErrno(kNotARegularFileError));
    EXPECT_EQ(CreateFileForWriting("C:\\PIPE.BIN"), -1);

    // A crash dump.
    CoreDumpRequest request;
    request.pid = ::getpid();
    EXPECT_EQ(WriteCoreDump(fifo.string(), request), kNotARegularFileError);

    // The callout file.
    char position[kBtrievePositionBlockSize] = {};
    char name[] = "C:\\PIPE.BIN";
    uint16_t length = 0;
    EXPECT_EQ(BtrieveCall(kBtrieveOpen, position, nullptr, &length, name, 0), kBtrieveFileNotFound);

    // The output file of a child.
    ChildStart start;
    start.arguments = {"/usr/bin/true"};
    start.output_file = fifo.string();
    EXPECT_EQ(ChildProcess::Start(start), nullptr);
    EXPECT_EQ(GetLastError(), WinErrorFromErrno(kNotARegularFileError));

    // A library, loaded or looked for.
    DynamicLibrary library;
    EXPECT_FALSE(library.LoadFile(fifo));
    EXPECT_THAT(library.error_text(), ::testing::HasSubstr("not a regular file"));
    EXPECT_FALSE(IsModuleLoaded(fifo));

    // The file that plays the watchdog card: no card, said once.
    testing::ScopedEnvironment environment;
    environment.Set("RUZD_WATCHDOG_DEVICE", fifo.string());
    ::testing::internal::CaptureStderr();
    const uint32_t offset = 7;
    uint8_t byte = 0;
    EXPECT_FALSE(WatchdogDeviceControl(kWatchdogReadPort, &offset, sizeof offset, &byte, 1));
    const uint8_t write[5] = {7, 0, 0, 0, 0xB0};
    EXPECT_FALSE(WatchdogDeviceControl(kWatchdogWritePort, write, sizeof write, nullptr, 0));
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string named = fifo.string() + ": not a regular file, taken for no watchdog card\n";
    EXPECT_NE(said.find(named), std::string::npos) << said;
    EXPECT_EQ(said.find(named), said.rfind(named)) << said;
}

}  // namespace
}  // namespace ruzd::platform
