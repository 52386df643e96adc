// The small resource tables of the manager: Aculab channel handles with their call handles,
// Amtelco cables and the bus time slots of their positions, conferences with their parties,
// and the files open under the central server's virtual handles.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "node/vesmarin_manager.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ResourceTablesTest : public ::testing::Test {
protected:
    ruzd::testing::TempRoot root_;
    CVesmarinManager manager_{ManagerSettings{}};
};

// Some object of the Prosody library, which the tables only keep.
tSMChannelId_struct* SomeChannel(int n) {
    return reinterpret_cast<tSMChannelId_struct*>(static_cast<uintptr_t>(0x1000 + 16 * n));
}

TEST_F(ResourceTablesTest, AculabHandlesCountUpFromTenThousandOncePerPortAndSlot) {
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(0, 36, 1), 10000);
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(0, 36, 2), 10001);
    // The same port and slot again: the same handle, the counter stays.
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(1, 36, 1), 10000);
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(0, 37, 1), 10002);

    EXPECT_EQ(manager_.AculabTables().GetAculabPortId(10001), 36);
    EXPECT_EQ(manager_.AculabTables().GetAculabTimeslot(10001), 2);
    // The card of the first allocation stays with the handle.
    EXPECT_EQ(manager_.AculabTables().GetAculabCardIndex(10000), 0);
    EXPECT_EQ(manager_.AculabTables().GetAculabPortId(10003), -1);
    EXPECT_EQ(manager_.AculabTables().GetAculabTimeslot(10003), -1);
    EXPECT_EQ(manager_.AculabTables().GetAculabCardIndex(10003), -1);
}

TEST_F(ResourceTablesTest, ReleasedHandleLosesEverythingAndIsNeverGivenAgain) {
    const int32_t handle = manager_.AculabTables().AllocateAculabHandle(2, 40, 5);
    manager_.AculabTables().SetProsodyStream(handle, 1);
    manager_.AculabTables().SetProsodyTimeslot(handle, 2);
    manager_.AculabTables().SetProsodyModule(handle, 3);
    manager_.AculabTables().SetAculabCardSerial(handle, "SER123");
    manager_.AculabTables().SetEchoCancelIn(handle, SomeChannel(1));
    manager_.AculabTables().SetEchoCancelRef(handle, SomeChannel(2));
    manager_.AculabTables().SetEchoCancelOut(handle, SomeChannel(3));
    manager_.AculabTables().SetVMPrxId(handle,
                                       reinterpret_cast<tSMVMPrxId_struct*>(SomeChannel(4)));
    manager_.AculabTables().SetVMPtxId(handle,
                                       reinterpret_cast<tSMVMPtxId_struct*>(SomeChannel(5)));
    manager_.AculabTables().SetTDMrxId(handle,
                                       reinterpret_cast<tSMTDMrxId_struct*>(SomeChannel(6)));
    manager_.AculabTables().SetTDMtxId(handle,
                                       reinterpret_cast<tSMTDMtxId_struct*>(SomeChannel(7)));
    manager_.AculabTables().SetAculabCallHandle(handle, AculabHandleTables::kIncomingCall, 71);
    manager_.AculabTables().SetAculabCallHandle(handle, AculabHandleTables::kOutgoingCall, 72);
    const int32_t other = manager_.AculabTables().AllocateAculabHandle(2, 40, 6);
    manager_.AculabTables().SetProsodyStream(other, 9);

    manager_.AculabTables().ReleaseAculabHandle(handle);

    EXPECT_EQ(manager_.AculabTables().GetAculabPortId(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetAculabTimeslot(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetAculabCardIndex(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetProsodyStream(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetProsodyTimeslot(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetProsodyModule(handle), -1);
    EXPECT_EQ(manager_.AculabTables().GetAculabCardSerial(handle), "");
    EXPECT_EQ(manager_.AculabTables().GetEchoCancelIn(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetEchoCancelRef(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetEchoCancelOut(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetVMPrxId(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetVMPtxId(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetTDMrxId(handle), nullptr);
    EXPECT_EQ(manager_.AculabTables().GetTDMtxId(handle), nullptr);
    int32_t call = 0;
    EXPECT_FALSE(manager_.AculabTables().GetAculabCallHandle(
        handle, AculabHandleTables::kIncomingCall, &call));
    EXPECT_FALSE(manager_.AculabTables().GetAculabCallHandle(
        handle, AculabHandleTables::kOutgoingCall, &call));

    // The neighbour keeps its own, and the same port and slot get a new number.
    EXPECT_EQ(manager_.AculabTables().GetProsodyStream(other), 9);
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(2, 40, 6), other);
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(2, 40, 5), other + 1);
}

TEST_F(ResourceTablesTest, ReleasingAnUnknownHandleLeavesTheOthersAlone) {
    const int32_t first = manager_.AculabTables().AllocateAculabHandle(0, 0, 0);
    manager_.AculabTables().ReleaseAculabHandle(first + 50);
    manager_.AculabTables().ReleaseAculabHandle(-1);
    // Port 0, slot 0 still names the first handle.
    EXPECT_EQ(manager_.AculabTables().AllocateAculabHandle(0, 0, 0), first);
    EXPECT_EQ(manager_.AculabTables().GetAculabPortId(first), 0);
}

TEST_F(ResourceTablesTest, CallHandlesPerDirection) {
    int32_t call = 5;
    EXPECT_FALSE(manager_.AculabTables().GetAculabCallHandle(
        10000, AculabHandleTables::kIncomingCall, &call));
    EXPECT_EQ(call, 5);
    manager_.AculabTables().SetAculabCallHandle(10000, AculabHandleTables::kOutgoingCall, 33);
    EXPECT_FALSE(manager_.AculabTables().GetAculabCallHandle(
        10000, AculabHandleTables::kIncomingCall, &call));
    EXPECT_TRUE(manager_.AculabTables().GetAculabCallHandle(
        10000, AculabHandleTables::kOutgoingCall, &call));
    EXPECT_EQ(call, 33);
    manager_.AculabTables().SetAculabCallHandle(10000, AculabHandleTables::kOutgoingCall, 34);
    EXPECT_TRUE(manager_.AculabTables().GetAculabCallHandle(
        10000, AculabHandleTables::kOutgoingCall, &call));
    EXPECT_EQ(call, 34);
}

TEST_F(ResourceTablesTest, AmtelcoPositionsLieAboveTheCablesTimeslotBase) {
    EXPECT_EQ(manager_.Amtelco().GetAmtelcoBusTimeslot(0, 1), 1023);
    EXPECT_EQ(manager_.Amtelco().GetAmtelcoBusTimeslot(5, 1), 1018);
    manager_.Amtelco().SetCableTimeslotBase(2, 1024);
    EXPECT_EQ(manager_.Amtelco().GetAmtelcoBusTimeslot(0, 2), 2047);
    EXPECT_EQ(manager_.Amtelco().GetAmtelcoBusTimeslot(23, 2), 2024);
    EXPECT_EQ(AmtelcoTables::kTimeslotsPerBusStream, 128);
}

TEST_F(ResourceTablesTest, AmtelcoBoardsAndCables) {
    int32_t value = -7;
    EXPECT_FALSE(manager_.Amtelco().GetAmtelcoBoardHandle(16, &value));
    EXPECT_EQ(value, -7);
    manager_.Amtelco().AddAmtelcoBoard(16, 1);
    manager_.Amtelco().AddAmtelcoBoard(16, 2);
    EXPECT_TRUE(manager_.Amtelco().GetAmtelcoBoardHandle(16, &value));
    EXPECT_EQ(value, 2);

    EXPECT_FALSE(manager_.Amtelco().GetCableBoard(2, &value));
    manager_.Amtelco().SetCableBoard(2, 16);
    EXPECT_TRUE(manager_.Amtelco().GetCableBoard(2, &value));
    EXPECT_EQ(value, 16);
}

TEST_F(ResourceTablesTest, ConferencesKeepTheirIdsPlaceholdersAndParties) {
    ConferenceTables& conferences = manager_.Conferences();
    int32_t value = 0;
    EXPECT_FALSE(conferences.GetConferenceId(245, &value));
    conferences.SetConferenceId(245, 3);
    conferences.SetPlaceholder(245, true);
    conferences.SetPartyTimeslot(245, 12, 5, 300);
    conferences.SetPartyTimeslot(245, 12, 999, 301);  // an Amtelco position with the same number
    conferences.SetPartyTimeslot(245, 12, 5, 302);

    EXPECT_TRUE(conferences.GetConferenceId(245, &value));
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(conferences.HasPlaceholder(245));
    EXPECT_TRUE(conferences.GetPartyTimeslot(245, 12, 5, &value));
    EXPECT_EQ(value, 302);
    EXPECT_TRUE(conferences.GetPartyTimeslot(245, 12, 999, &value));
    EXPECT_EQ(value, 301);
    EXPECT_FALSE(conferences.GetPartyTimeslot(245, 13, 5, &value));
    EXPECT_FALSE(conferences.GetPartyTimeslot(246, 12, 5, &value));
    EXPECT_EQ(conferences.PartyCount(245), 2u);

    conferences.RemoveParty(245, 12, 999);
    EXPECT_FALSE(conferences.GetPartyTimeslot(245, 12, 999, &value));
    conferences.SetPlaceholder(245, false);
    EXPECT_FALSE(conferences.HasPlaceholder(245));

    conferences.DeleteConference(245);
    EXPECT_FALSE(conferences.GetConferenceId(245, &value));
    EXPECT_EQ(conferences.PartyCount(245), 0u);
    EXPECT_FALSE(conferences.HasPlaceholder(245));
}

TEST_F(ResourceTablesTest, VirtualFilesAreRegisteredTakenAndNamed) {
    VirtualFileTables& files = manager_.VirtualFiles();
    files.AddVoiceFile(1, 40, "c:\\vox\\index.vox");
    files.AddRecordFile(1, 41, "C:\\Rec\\call.wav");
    files.AddVoiceFile(0xFFFFFFFFu, 42, "C:\\VOX\\HIGH.VOX");

    int32_t handle = 0;
    EXPECT_TRUE(files.GetVoiceFileHandle(1, &handle));
    EXPECT_EQ(handle, 40);
    EXPECT_TRUE(files.GetRecordFileHandle(1, &handle));
    EXPECT_EQ(handle, 41);
    EXPECT_TRUE(files.GetVoiceFileHandle(0xFFFFFFFFu, &handle));
    EXPECT_EQ(handle, 42);
    std::string name;
    EXPECT_TRUE(files.GetRecordFileName(41, &name));
    EXPECT_EQ(name, "C:\\Rec\\call.wav");
    EXPECT_FALSE(files.GetVoiceFileName(41, &name));
    EXPECT_THAT(files.OpenFileNamesUpper(),
                ElementsAre("C:\\REC\\CALL.WAV", "C:\\VOX\\HIGH.VOX", "C:\\VOX\\INDEX.VOX"));

    VirtualFileTables::OpenFile taken;
    EXPECT_TRUE(files.TakeVoiceFile(1, &taken));
    EXPECT_EQ(taken.handle, 40);
    EXPECT_EQ(taken.name, "c:\\vox\\index.vox");
    EXPECT_FALSE(files.TakeVoiceFile(1, &taken));
    EXPECT_FALSE(files.GetVoiceFileName(40, &name));
    // The record file of the same virtual handle is another file.
    EXPECT_TRUE(files.GetRecordFileHandle(1, &handle));

    files.ForgetAll();
    EXPECT_THAT(files.OpenFileNamesUpper(), IsEmpty());
    EXPECT_FALSE(files.TakeRecordFile(1, &taken));
}

TEST_F(ResourceTablesTest, EveryVirtualFileOfAKindIsTakenAtOnce) {
    VirtualFileTables& files = manager_.VirtualFiles();
    files.AddVoiceFile(7, 40, "A.VOX");
    files.AddVoiceFile(2, 41, "B.VOX");
    files.AddRecordFile(2, 42, "C.WAV");

    const auto voice = files.TakeAllVoiceFiles();
    ASSERT_EQ(voice.size(), 2u);
    EXPECT_EQ(voice[0].first, 2u);
    EXPECT_EQ(voice[0].second.handle, 41);
    EXPECT_EQ(voice[0].second.name, "B.VOX");
    EXPECT_EQ(voice[1].first, 7u);
    EXPECT_EQ(voice[1].second.handle, 40);
    EXPECT_TRUE(files.TakeAllVoiceFiles().empty());
    // The record files are another kind and stay.
    EXPECT_THAT(files.OpenFileNamesUpper(), ElementsAre("C.WAV"));
    const auto record = files.TakeAllRecordFiles();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].second.handle, 42);
    EXPECT_THAT(files.OpenFileNamesUpper(), IsEmpty());
}

}  // namespace
}  // namespace ruzd::node
