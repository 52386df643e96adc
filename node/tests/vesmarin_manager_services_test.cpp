// The manager as the lower layers see it: published while it lives, its file cache, its device
// tables and its per-Aculab-handle stores.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "foundation/debug_log.h"
#include "net/file_cache_owner.h"
#include "node/exception_cm.h"
#include "node/vesmarin_manager.h"
#include "telephony/aculab_channel_store.h"
#include "telephony/device_handle_lookup.h"
#include "testing/debug_files.h"
#include "testing/loopback_socket.h"
#include "testing/manager_on_boards.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

using ruzd::testing::DebugLines;

class ManagerServicesTest : public testing::ManagerOnBoardsTest {
protected:
    ManagerServicesTest() { fs::create_directories(work_.path() / "FileCache"); }

    std::shared_ptr<CVesmarinManager> Start() {
        auto manager = std::make_shared<CVesmarinManager>(ManagerSettings{});
        manager->Initialise(nullptr);
        return manager;
    }

    static void WriteFile(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "voice";
    }

    testing::TempWorkFolder work_;
};

// Whether the file cache and both tables of `manager` are the published ones.
bool IsPublished(CVesmarinManager& manager) {
    return net::PublishedFileCacheOwner().Lock().get() ==
               static_cast<net::FileCacheOwner*>(&manager) &&
           telephony::PublishedDeviceHandles().Lock().get() == &manager.Devices() &&
           telephony::PublishedAculabChannels().Lock().get() == &manager.AculabTables();
}

TEST_F(ManagerServicesTest, PublishedWhileItLivesAndWithdrawnWithIt) {
    auto manager = Start();
    EXPECT_TRUE(IsPublished(*manager));

    // A second manager is refused and, going, leaves the first one published.
    {
        auto second = std::make_shared<CVesmarinManager>(ManagerSettings{});
        EXPECT_THROW(second->Initialise(nullptr), CExceptionCM);
    }
    EXPECT_TRUE(IsPublished(*manager));

    manager.reset();
    EXPECT_EQ(net::PublishedFileCacheOwner().Lock(), nullptr);
    EXPECT_EQ(telephony::PublishedDeviceHandles().Lock(), nullptr);
    EXPECT_EQ(telephony::PublishedAculabChannels().Lock(), nullptr);
}

TEST_F(ManagerServicesTest, FileListenerListensOnTheRegistryPortUntilTheManagerGoes) {
    auto manager = Start();
    ASSERT_NE(manager->FileListener(), nullptr);
    EXPECT_EQ(manager->FileListener()->Port(), static_cast<int32_t>(file_port_));
    EXPECT_TRUE(testing::RawConnection::ConnectWhenListening(file_port_).valid());
    manager.reset();
    // The listener went with the manager.
    EXPECT_FALSE(testing::RawConnection::Connect(file_port_).valid());
}

TEST_F(ManagerServicesTest, RemoveFileFromCacheDeletesTheFileWhateverItsCase) {
    const fs::path logFolder = root_.path() / "drives" / "c" / "Debug";
    fs::create_directories(logFolder);
    foundation::StartDebugLog("C:\\Debug\\Node", 0, true, 0);

    const fs::path cached = work_.path() / "FileCache" / "Prompts" / "Hello.vox";
    const fs::path readOnly = work_.path() / "FileCache" / "Locked.vox";
    WriteFile(cached);
    WriteFile(readOnly);
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
    WriteFile(work_.path() / "FileCache" / "Prompts" / "Other.vox");

    CVesmarinManager manager{ManagerSettings{}};
    manager.RemoveFileFromCache("prompts\\HELLO.VOX");
    manager.RemoveFileFromCache("Locked.vox");
    manager.RemoveFileFromCache("Prompts\\Missing.vox");
    foundation::StopDebugLog();

    EXPECT_FALSE(fs::exists(cached));
    EXPECT_FALSE(fs::exists(readOnly));
    EXPECT_TRUE(fs::exists(work_.path() / "FileCache" / "Prompts" / "Other.vox"));
    const auto lines = DebugLines(logFolder);
    EXPECT_THAT(lines, Contains(EndsWith("RemoveFileFromCache prompts\\HELLO.VOX")));
    EXPECT_THAT(lines, Contains(EndsWith("file removed: .\\FILECACHE\\PROMPTS\\HELLO.VOX")));
    EXPECT_THAT(lines, Contains(EndsWith("file removed: .\\FILECACHE\\LOCKED.VOX")));
    // A file that is not there is no failure.
    EXPECT_THAT(lines, Not(Contains(HasSubstr("MISSING.VOX"))));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("failed"))));
}

TEST_F(ManagerServicesTest, RemoveFileFromCacheRefusesNamesOutsideTheCache) {
    const fs::path outside = work_.path() / "Outside.vox";
    const fs::path drive = root_.path() / "drives" / "c" / "Outside.vox";
    WriteFile(outside);
    WriteFile(drive);

    CVesmarinManager manager{ManagerSettings{}};
    for (const char* name : {"..\\Outside.vox", "Prompts\\..\\..\\Outside.vox", "C:\\Outside.vox",
                             "\\Outside.vox", "/Outside.vox", ""}) {
        manager.RemoveFileFromCache(name);
    }
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_TRUE(fs::exists(drive));
}

TEST_F(ManagerServicesTest, AculabStoresReturnWhatWasLastSetPerHandle) {
    CVesmarinManager manager{ManagerSettings{}};
    telephony::AculabChannelStore& services = manager.AculabTables();

    EXPECT_EQ(services.GetProsodyStream(10000), -1);
    EXPECT_EQ(services.GetProsodyTimeslot(10000), -1);
    EXPECT_EQ(services.GetProsodyModule(10000), -1);
    EXPECT_EQ(services.GetAculabCardIndex(10000), -1);

    services.SetProsodyStream(10000, 32);
    services.SetProsodyTimeslot(10000, 5);
    services.SetProsodyModule(10000, 77);
    services.SetProsodyStream(10000, 33);
    services.SetProsodyStream(10001, 0);
    services.SetAculabCardSerial(10000, "ab-123");
    manager.AculabTables().SetAculabCardIndex(10000, 2);
    EXPECT_EQ(services.GetProsodyStream(10000), 33);
    EXPECT_EQ(services.GetProsodyStream(10001), 0);
    EXPECT_EQ(services.GetProsodyTimeslot(10000), 5);
    EXPECT_EQ(services.GetProsodyTimeslot(10001), -1);
    EXPECT_EQ(services.GetProsodyModule(10000), 77);
    EXPECT_EQ(services.GetAculabCardIndex(10000), 2);
    EXPECT_EQ(manager.AculabTables().GetAculabCardSerial(10000), "ab-123");

    // The library's handles are opaque: any address stands for one.
    int in = 0, ref = 0, out = 0, rx = 0, tx = 0;
    auto* channelIn = reinterpret_cast<tSMChannelId_struct*>(&in);
    auto* channelRef = reinterpret_cast<tSMChannelId_struct*>(&ref);
    auto* channelOut = reinterpret_cast<tSMChannelId_struct*>(&out);
    services.SetEchoCancelIn(10000, channelIn);
    services.SetEchoCancelRef(10000, channelRef);
    services.SetEchoCancelOut(10000, channelOut);
    services.SetVMPrxId(10000, reinterpret_cast<tSMVMPrxId_struct*>(&rx));
    services.SetVMPtxId(10000, reinterpret_cast<tSMVMPtxId_struct*>(&tx));
    services.SetTDMrxId(10000, reinterpret_cast<tSMTDMrxId_struct*>(&rx));
    services.SetTDMtxId(10000, reinterpret_cast<tSMTDMtxId_struct*>(&tx));
    EXPECT_EQ(services.GetEchoCancelIn(10000), channelIn);
    EXPECT_EQ(services.GetEchoCancelRef(10000), channelRef);
    EXPECT_EQ(services.GetEchoCancelOut(10000), channelOut);
    EXPECT_EQ(services.GetEchoCancelIn(10001), nullptr);
    EXPECT_EQ(services.GetVMPrxId(10000), reinterpret_cast<tSMVMPrxId_struct*>(&rx));
    EXPECT_EQ(services.GetVMPtxId(10000), reinterpret_cast<tSMVMPtxId_struct*>(&tx));
    EXPECT_EQ(services.GetTDMrxId(10000), reinterpret_cast<tSMTDMrxId_struct*>(&rx));
    EXPECT_EQ(services.GetTDMtxId(10000), reinterpret_cast<tSMTDMtxId_struct*>(&tx));

    // Storing null clears only that entry.
    services.SetEchoCancelRef(10000, nullptr);
    services.SetVMPrxId(10000, nullptr);
    services.SetTDMtxId(10000, nullptr);
    EXPECT_EQ(services.GetEchoCancelRef(10000), nullptr);
    EXPECT_EQ(services.GetEchoCancelIn(10000), channelIn);
    EXPECT_EQ(services.GetVMPrxId(10000), nullptr);
    EXPECT_EQ(services.GetVMPtxId(10000), reinterpret_cast<tSMVMPtxId_struct*>(&tx));
    EXPECT_EQ(services.GetTDMtxId(10000), nullptr);
    EXPECT_EQ(services.GetTDMrxId(10000), reinterpret_cast<tSMTDMrxId_struct*>(&rx));
}

TEST_F(ManagerServicesTest, DeviceHandlesAreLookedUpInTheTableOfTheirType) {
    CVesmarinManager manager{ManagerSettings{}};
    const telephony::DeviceHandleLookup& services = manager.Devices();
    using telephony::kBoardLineDeviceBase;

    int32_t handle = 0;
    EXPECT_FALSE(services.GetDeviceHandle(4, telephony::kPortTypeVoice, &handle));
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(services.GetIPDeviceHandle(4, &handle));
    EXPECT_EQ(handle, -1);

    manager.Devices().Voice().Set(4, 401);
    manager.Devices().Network().Set(4, 403);
    manager.Devices().Station().Set(4, 405);
    manager.Devices().Ip().Set(4, 407);
    manager.Devices().Ip().Set(kBoardLineDeviceBase + 1, 418);
    manager.Devices().Voice().Set(4, 411);  // replaces

    EXPECT_TRUE(services.GetDeviceHandle(4, telephony::kPortTypeVoice, &handle));
    EXPECT_EQ(handle, 411);
    EXPECT_TRUE(services.GetDeviceHandle(4, telephony::kPortTypeNetwork, &handle));
    EXPECT_EQ(handle, 403);
    EXPECT_TRUE(services.GetDeviceHandle(4, telephony::kPortTypeStation, &handle));
    EXPECT_EQ(handle, 405);
    EXPECT_TRUE(services.GetDeviceHandle(4, telephony::kPortTypeGlobalCallIp, &handle));
    EXPECT_EQ(handle, 407);
    EXPECT_TRUE(
        services.GetDeviceHandle(kBoardLineDeviceBase + 1, telephony::kPortTypeIp, &handle));
    EXPECT_EQ(handle, 418);
    EXPECT_TRUE(services.GetIPDeviceHandle(kBoardLineDeviceBase + 1, &handle));
    EXPECT_EQ(handle, 418);
    // A type of no table: not found, the handle untouched.
    handle = 99;
    EXPECT_FALSE(services.GetDeviceHandle(4, 2, &handle));
    EXPECT_EQ(handle, 99);

    manager.Devices().Ip().Erase(4);
    manager.Devices().Ip().Erase(12345);  // absent: no error
    EXPECT_FALSE(services.GetIPDeviceHandle(4, &handle));
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(services.GetDeviceHandle(4, telephony::kPortTypeStation, &handle));
    EXPECT_EQ(handle, 405);
}

}  // namespace
}  // namespace ruzd::node
