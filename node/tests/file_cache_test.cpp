// The file cache, the file commands with their worker and the move to the central server, on
// the simulated boards with a central server of the test's own on both connections.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <utility>

#include "foundation/crc32.h"
#include "node/tests/isdn_node_fixture.h"
#include "platform/text.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::node::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;

constexpr const char* kPrompt = "C:\\VOX\\PROMPT.VOX";
constexpr const char* kPromptCopy = ".\\FileCache\\C\\VOX\\PROMPT.VOX";

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

int32_t CrcOf(const std::string& content) {
    return static_cast<int32_t>(foundation::GetBufferCrc32(content.data(), content.size()));
}

class FileCacheTest : public IsdnNodeTest {
protected:
    // What the file cache answers, from another thread, so that the test can play the
    // central server meanwhile.
    std::future<std::pair<bool, std::string>> AskCache(std::string path, int32_t size, int32_t crc,
                                                       bool written = false) {
        return std::async(std::launch::async, [this, path, size, crc, written]() mutable {
            const bool ok = manager_->FileCache(0, path, written, size, crc);
            return std::make_pair(ok, path);
        });
    }

    // Answers the node's next REQFIL with `content` and hands back the request's line.
    std::string AnswerRequest(const std::string& content) {
        const std::optional<std::string> line = file_peer_->ReadLine();
        if (!line || line->rfind("REQFIL ", 0) != 0) {
            ADD_FAILURE() << "no REQFIL";
            return {};
        }
        const size_t idEnd = line->find(' ', 7);
        const std::string id = line->substr(7, idEnd - 7);
        const std::string local = line->substr(line->rfind(' ') + 1);
        file_peer_->SendText("TXFILE " + id + " 1 0 " + local + " " +
                             std::to_string(content.size()) + "\r" + content);
        return "REQFIL <id>" + line->substr(idEnd);
    }

    int64_t NowSeconds() const {
        return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
            .count();
    }

    fs::path Copy(const std::string& below) const { return work_.path() / "FileCache" / below; }

    void SendFileOpen(int32_t code, uint32_t vhandle, const std::string& name, int32_t flags,
                      uint32_t size, uint32_t crc) {
        peer_->Send(code, 40, [&](net::COutputStreamSocket& writer) {
            writer.WriteUInt(vhandle).WriteString(name).WriteInt(flags).WriteInt(0x180);
            writer.WriteUInt(size).WriteUInt(crc);
        });
    }

    // One pass of the move queue five seconds on, the central server answering the upload of
    // `size` bytes it brings with `answer` ("stored 1", "refused 0").
    void PassAnswering(size_t size, const std::string& answer) {
        clock_.Advance(std::chrono::seconds(5));
        auto pass = std::async(std::launch::async, [this] { manager_->ProcessMoveFileQueue(); });
        const std::optional<std::string> line = file_peer_->ReadLine();
        ASSERT_TRUE(line && line->rfind("UPFILE ", 0) == 0) << line.value_or("nothing");
        EXPECT_TRUE(file_peer_->ReadBytes(size));
        file_peer_->SendText("TXQRES " + line->substr(7, line->find(' ', 7) - 7) + " 0 " + answer +
                             "\r");
        pass.get();
    }

    ruzd::testing::TempWorkFolder work_;
};

TEST_F(FileCacheTest, FetchesTrustsTheHourThenChecksAgainAndFetchesAnotherCrc) {
    const std::string first = "the first prompt";
    auto asked = AskCache("c:\\vox\\prompt.vox", first.size(), CrcOf(first));
    EXPECT_EQ(AnswerRequest(first), std::string("REQFIL <id> ") + kPrompt + " " + kPromptCopy);
    EXPECT_EQ(asked.get(), std::make_pair(true, std::string(kPromptCopy)));
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), first);

    // Within the hour the record is trusted: the disk is not even looked at.
    fs::remove(Copy("C/VOX/PROMPT.VOX"));
    EXPECT_EQ(AskCache(kPrompt, first.size(), CrcOf(first)).get(),
              std::make_pair(true, std::string(kPromptCopy)));

    clock_.Advance(std::chrono::seconds(3600));
    asked = AskCache(kPrompt, first.size(), CrcOf(first));
    AnswerRequest(first);
    EXPECT_TRUE(asked.get().first);
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), first);

    // Same size, another CRC: fetched again, and whatever arrives is taken.
    const std::string second = "THE SECOND PROMPT, LONGER";
    asked = AskCache(kPrompt, first.size(), CrcOf(first) ^ 1);
    AnswerRequest(second);
    EXPECT_TRUE(asked.get().first);
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), second);
    EXPECT_EQ(manager_->FileCacheTable().Find(kPrompt)->crc32,
              static_cast<uint32_t>(CrcOf(second)));
}

TEST_F(FileCacheTest, ACopyUnlikeTheCentralServersFiguresIsTakenWithAWarning) {
    const std::string old = "the prompt of last week";
    WriteAll(Copy("C/VOX/PROMPT.VOX"), old);
    // The central server's record of the file is older than the file it sends.
    const std::string recorded = "THE PROMPT OF THIS WEEK";
    std::string sent = recorded;
    sent[4] ^= 0x01;
    auto asked = AskCache(kPrompt, recorded.size(), CrcOf(recorded));
    AnswerRequest(sent);
    EXPECT_EQ(asked.get(), std::make_pair(true, std::string(kPromptCopy)));
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), sent);
    EXPECT_EQ(manager_->FileCacheTable().Find(kPrompt)->crc32, static_cast<uint32_t>(CrcOf(sent)));
    EXPECT_THAT(DebugLines(),
                Contains(HasSubstr(platform::Format(
                    "WARNING: TXFILE 1: .\\FileCache\\C\\VOX\\PROMPT.VOX came with 23 bytes and "
                    "the CRC-32 %08X, the central server named 23 bytes and the CRC-32 %08X",
                    static_cast<uint32_t>(CrcOf(sent)), static_cast<uint32_t>(CrcOf(recorded))))));
    EXPECT_TRUE(fs::is_empty(work_.path() / "FileCacheIncoming"));

    // Another size too.
    const std::string longer = "THE PROMPT OF THIS WEEK, LONGER";
    asked = AskCache(kPrompt, recorded.size(), CrcOf(recorded));
    AnswerRequest(longer);
    EXPECT_EQ(asked.get(), std::make_pair(true, std::string(kPromptCopy)));
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), longer);
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("PROMPT.VOX came with 31 bytes and the CRC-32 ")));
}

TEST_F(FileCacheTest, ExpectedSizeZeroKeepsACopyCheckedWithinAMinuteAndDropsAnOlderOne) {
    const char* name = "C:\\REC\\NEW.VOX";
    const std::string earlier = "earlier recording";
    WriteAll(Copy("C/REC/NEW.VOX"), earlier);
    const auto checked = [&](int64_t secondsAgo) {
        return CFileDateSizeCRC{static_cast<uint32_t>(CrcOf(earlier)),
                                static_cast<int64_t>(earlier.size()), 0, NowSeconds() - secondsAgo};
    };
    manager_->FileCacheTable().Set(name, checked(10));
    EXPECT_EQ(AskCache(name, 0, 0).get(),
              std::make_pair(true, std::string(".\\FileCache\\C\\REC\\NEW.VOX")));
    EXPECT_EQ(ReadAll(Copy("C/REC/NEW.VOX")), "earlier recording");

    manager_->FileCacheTable().Set(name, checked(120));
    EXPECT_EQ(AskCache(name, 0, 0).get(),
              std::make_pair(true, std::string(".\\FileCache\\C\\REC\\NEW.VOX")));
    EXPECT_FALSE(fs::exists(Copy("C/REC/NEW.VOX"))) << "the caller creates it anew";
}

TEST_F(FileCacheTest, WrittenWithoutARecordIsRefused) {
    WriteAll(Copy("C/REC/X.VOX"), "never read");
    EXPECT_FALSE(AskCache("C:\\REC\\X.VOX", -1, -1, true).get().first);
    EXPECT_THAT(DebugLines(), Contains(EndsWith("CRC Data on read state unknown")));
    EXPECT_EQ(manager_->MoveQueue().Size(), 0u);
}

TEST_F(FileCacheTest, FilremOfACentralPathDropsTheCopyAndTheNextOpenFetchesAgain) {
    const std::string content = "cached";
    auto asked = AskCache(kPrompt, content.size(), CrcOf(content));
    AnswerRequest(content);
    ASSERT_TRUE(asked.get().first);

    file_peer_->SendText(std::string("FILREM ") + kPrompt + "\r");
    EXPECT_TRUE(ruzd::testing::Eventually([&] { return !fs::exists(Copy("C/VOX/PROMPT.VOX")); }));
    // Within the hour, yet the removed copy is not trusted any more.
    asked = AskCache(kPrompt, content.size(), CrcOf(content));
    AnswerRequest(content);
    EXPECT_TRUE(asked.get().first);
    EXPECT_EQ(ReadAll(Copy("C/VOX/PROMPT.VOX")), content);
}

TEST_F(FileCacheTest, CleanUpKeepsKnownCopiesAndPendingMovesAndDeletesTheRest) {
    WriteAll(Copy("C/VOX/KNOWN.VOX"), "k");
    WriteAll(Copy("SRV/SHARE/KNOWN.VOX"), "s");
    WriteAll(Copy("C/VOX/STRAY.VOX"), "x");
    WriteAll(Copy("C/REC/MOVING.VOX"), "m");
    manager_->FileCacheTable().Set("C:\\VOX\\KNOWN.VOX", CFileDateSizeCRC{});
    manager_->FileCacheTable().Set("\\\\SRV\\SHARE\\KNOWN.VOX", CFileDateSizeCRC{});
    manager_->QueueMoveFile(0, ".\\FileCache\\C\\REC\\MOVING.VOX", "C:\\REC\\MOVING.VOX", 3);

    manager_->RecursiveRemoveFileNotInMapFile2CRCFromDir(".\\FileCache");
    EXPECT_TRUE(fs::exists(Copy("C/VOX/KNOWN.VOX")));
    EXPECT_TRUE(fs::exists(Copy("SRV/SHARE/KNOWN.VOX")));
    EXPECT_TRUE(fs::exists(Copy("C/REC/MOVING.VOX")));
    EXPECT_FALSE(fs::exists(Copy("C/VOX/STRAY.VOX")));

    manager_->PruneFileCacheTable({"C:\\VOX\\KNOWN.VOX"});
    EXPECT_TRUE(manager_->FileCacheTable().Find("C:\\VOX\\KNOWN.VOX"));
    EXPECT_FALSE(manager_->FileCacheTable().Find("\\\\SRV\\SHARE\\KNOWN.VOX"));
}

// While the kept move queue could not be read (set aside, a FIFO), the recordings it still has
// to move are not known: the clean-up removes nothing, and says why.
TEST_F(FileCacheTest, CleanUpRemovesNothingWhileTheMoveQueueIsUnread) {
    WriteAll(Copy("C/REC/PENDING.VOX"), "p");
    ASSERT_TRUE(ruzd::testing::MakeFifo(work_.path() / "MoveFileQueue.txt"));
    manager_->MoveQueue().Load(NowSeconds());
    manager_->RecursiveRemoveFileNotInMapFile2CRCFromDir(".\\FileCache");
    EXPECT_TRUE(fs::exists(Copy("C/REC/PENDING.VOX")));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("The move queue is not whole on disk (the queue set aside as "
                                  ".\\MoveFileQueue.unread-1.txt could not be read yet): nothing "
                                  "is removed from .\\FileCache")));
}

// A recording queued without its CRC record that the central server refuses until the move is
// given up stays on disk through the clean-ups; once a later move of it ended with "stored",
// the clean-up deletes it.
TEST_F(FileCacheTest, ARecordingWithoutRecordIsKeptByTheCleanUpUntilItIsStored) {
    const std::string voice = "refused voice";
    WriteAll(Copy("C/REC/REFUSED.VOX"), voice);
    ASSERT_TRUE(manager_->QueueRecordingWithoutRecord(0, "C:\\REC\\REFUSED.VOX"));
    for (int tryNumber = 0; tryNumber < 4; ++tryNumber) {
        PassAnswering(voice.size(), "refused 0");
    }
    ASSERT_EQ(manager_->MoveQueue().Size(), 1u);
    EXPECT_TRUE(manager_->MoveQueue().Snapshot()[0].GivenUp());
    manager_->PruneFileCacheTable({});
    manager_->RecursiveRemoveFileNotInMapFile2CRCFromDir(".\\FileCache");
    EXPECT_EQ(ReadAll(Copy("C/REC/REFUSED.VOX")), voice);

    // Recorded again, moved afresh and stored: then it may go.
    ASSERT_TRUE(manager_->QueueRecordingWithoutRecord(0, "C:\\REC\\REFUSED.VOX"));
    PassAnswering(voice.size(), "stored 1");
    EXPECT_EQ(manager_->MoveQueue().Size(), 0u);
    manager_->RecursiveRemoveFileNotInMapFile2CRCFromDir(".\\FileCache");
    EXPECT_FALSE(fs::exists(Copy("C/REC/REFUSED.VOX")));
}

// A queue that could not be written (a folder in its place, which no file can replace) is
// written at the stop, once it can be.
TEST_F(FileCacheTest, AMoveQueueThatCouldNotBeWrittenIsWrittenAtTheStop) {
    fs::create_directories(work_.path() / "MoveFileQueue.txt" / "in the way");
    manager_->QueueMoveFile(7, ".\\FileCache\\C\\REC\\LAST.VOX", "C:\\REC\\LAST.VOX", 3);
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("Moving file: ERROR could not keep the queue in "
                                                 ".\\MoveFileQueue.txt, error=")));
    fs::remove_all(work_.path() / "MoveFileQueue.txt");
    Release();
    EXPECT_EQ(ReadAll(work_.path() / "MoveFileQueue.txt"),
              ".\\FileCache\\C\\REC\\LAST.VOX\tC:\\REC\\LAST.VOX\t3\t7\r\n");
}

TEST_F(FileCacheTest, VoiceFileOpenAnswersItsLengthAfterTheFetch) {
    peer_->SendInts(15, 3, {});
    const std::string content(5000, 'v');
    SendFileOpen(41, 3, kPrompt, 0x8000, content.size(), CrcOf(content));
    AnswerRequest(content);
    const std::optional<Payload> opened = NextMessage(9);
    ASSERT_TRUE(opened);
    EXPECT_EQ(LeadingInts(*opened), (std::vector<int32_t>{9, 3, 5000}));
    int32_t handle = -1;
    EXPECT_TRUE(manager_->VirtualFiles().GetVoiceFileHandle(3, &handle));

    // A missing file opened read/write is tried twice, answered -1 and leaves no entry.
    SendFileOpen(41, 4, "C:\\VOX\\MISSING.VOX", 2, 0, 0);
    const std::optional<Payload> failed = NextMessage(9);
    ASSERT_TRUE(failed);
    EXPECT_EQ(LeadingInts(*failed), (std::vector<int32_t>{9, 4, -1}));
    EXPECT_FALSE(manager_->VirtualFiles().GetVoiceFileHandle(4, &handle));
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("Retry after modify file attributes")));
}

TEST_F(FileCacheTest, ARecordingIsMovedToTheCentralServerWhenItsCloseComes) {
    peer_->SendInts(15, 3, {});
    SendFileOpen(167, 7, "C:\\REC\\CALL1.VOX", 0x8102, 0, 0);
    const std::optional<Payload> opened = NextMessage(9);
    ASSERT_TRUE(opened);
    EXPECT_EQ(LeadingInts(*opened), (std::vector<int32_t>{9, 7, 0}));
    const std::string voice = "recorded voice";
    WriteAll(Copy("C/REC/CALL1.VOX"), voice);
    peer_->Send(166, 41,
                [](net::COutputStreamSocket& writer) { writer.WriteUInt(7).WriteLong(5); });
    ASSERT_TRUE(ruzd::testing::Eventually([&] { return manager_->MoveQueue().Size() == 1; }));

    // Not yet due.
    manager_->ProcessMoveFileQueue();
    EXPECT_EQ(manager_->MoveQueue().Snapshot().at(0).retriesLeft, 3);

    clock_.Advance(std::chrono::seconds(4));
    auto pass = std::async(std::launch::async, [this] { manager_->ProcessMoveFileQueue(); });
    const std::optional<std::string> line = file_peer_->ReadLine();
    ASSERT_TRUE(line);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    EXPECT_EQ(*line, "UPFILE " + id + " 1 .\\FileCache\\C\\REC\\CALL1.VOX C:\\REC\\CALL1.VOX 14");
    EXPECT_EQ(file_peer_->ReadBytes(voice.size()),
              std::vector<uint8_t>(voice.begin(), voice.end()));
    file_peer_->SendText("TXQRES " + id + " 0 stored 1\r");
    pass.get();
    EXPECT_EQ(manager_->MoveQueue().Size(), 0u);
}

TEST_F(FileCacheTest, ARecordingClosedWhileTheFileConnectionIsAwayWaitsInTheQueue) {
    peer_->SendInts(15, 3, {});
    SendFileOpen(167, 7, "C:\\REC\\AWAY.VOX", 0x8102, 0, 0);
    ASSERT_TRUE(NextMessage(9));
    WriteAll(Copy("C/REC/AWAY.VOX"), "spoken while away");
    file_peer_.reset();
    ASSERT_TRUE(ruzd::testing::Eventually(
        [&] { return !manager_->FileListener()->HasAuthorisedSocket(); }));
    peer_->Send(166, 41,
                [](net::COutputStreamSocket& writer) { writer.WriteUInt(7).WriteLong(5); });
    ASSERT_TRUE(ruzd::testing::Eventually([&] { return manager_->MoveQueue().Size() == 1; }));
    EXPECT_EQ(manager_->MoveQueue().Snapshot()[0].target, "C:\\REC\\AWAY.VOX");
}

TEST_F(FileCacheTest, NothingIsTriedWithoutAFileConnection) {
    WriteAll(Copy("C/REC/A.VOX"), "a");
    manager_->QueueMoveFile(0, ".\\FileCache\\C\\REC\\A.VOX", "C:\\REC\\A.VOX", 3);
    file_peer_.reset();
    ASSERT_TRUE(ruzd::testing::Eventually(
        [&] { return !manager_->FileListener()->HasAuthorisedSocket(); }));
    for (int tick = 0; tick < 3; ++tick) {
        clock_.Advance(std::chrono::seconds(5));
        manager_->ProcessMoveFileQueue();
    }
    ASSERT_EQ(manager_->MoveQueue().Size(), 1u);
    EXPECT_EQ(manager_->MoveQueue().Snapshot()[0].retriesLeft, 3);
}

}  // namespace
}  // namespace ruzd::node::testing
