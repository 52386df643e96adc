// Recording into files through the node's buffers: the facade opens the files on disk, the
// recording registers them and installs the callbacks, and the callbacks are called as the
// voice library calls them. Each file must come out as an unbuffered writer would have made
// it from the same calls.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "platform/crt_flags.h"
#include "platform/text.h"
#include "platform/win_path.h"
#include "telephony/tests/facade_fixture.h"
#include "telephony/voice_file_io.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kCreateForWriting =
    platform::kCrtCreate | platform::kCrtTruncate | platform::kCrtReadWrite | platform::kCrtBinary;
constexpr int32_t kReadAndWrite = platform::kCrtPermissionRead | platform::kCrtPermissionWrite;
// Room for the recordings of a test, on a tmpfs of its own that the test fills up.
constexpr size_t kDiskBytes = 4 * 1024 * 1024;

std::string FileBytes(const std::string& windows_path) {
    std::ifstream file(platform::MapWindowsPath(windows_path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Equal bytes, or where they part (the bytes themselves are too many to show).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto parted =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes where " << expected.size()
           << " were expected, first difference at " << (parted.first - actual.begin());
}

// What a writer without buffers makes of the same calls.
class UnbufferedFile {
public:
    void Write(const std::string& data) {
        if (bytes_.size() < position_ + data.size())
            bytes_.resize(position_ + data.size(), '\0');
        std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<long>(position_));
        position_ += data.size();
    }
    void Seek(size_t position) { position_ = position; }
    size_t Size() const { return bytes_.size(); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    size_t position_ = 0;
};

// Distinct bytes for each piece, so that a piece in the wrong place shows.
std::string Piece(size_t size, char seed) {
    std::string piece(size, '\0');
    for (size_t i = 0; i < size; ++i)
        piece[i] = static_cast<char>(seed + static_cast<char>(i % 97));
    return piece;
}

class RecordFilesTest : public FacadeBoardsimTest {
protected:
    RecordFilesTest() : previous_level_(foundation::g_nTraceLevel.load()) {
        // The test writes the recordings itself: the boards' media clock must not.
        EXPECT_EQ(Control("recordings control"), "OK");
    }
    ~RecordFilesTest() override { foundation::g_nTraceLevel = previous_level_; }

    int32_t OpenRecordFile(const std::string& path) {
        return hardware_.rec_fileopen(1, path, kCreateForWriting, kReadAndWrite);
    }
    // Starts a recording on the channel into the files, one transfer entry each.
    int32_t Record(const std::vector<int32_t>& handles) {
        entries_.assign(handles.size(), DX_IOTT{});
        for (size_t i = 0; i < handles.size(); ++i) {
            entries_[i].io_type = IO_DEV | (i + 1 == handles.size() ? IO_EOT : IO_CONT);
            entries_[i].io_fhandle = handles[i];
            entries_[i].io_length = -1;
        }
        DV_TPT termination{};
        DX_XPB format{};
        return hardware_.dx_reciottdata(channel_, entries_.data(), &termination, &format,
                                        0x10000 | RM_TONE);
    }
    // Opens the files and starts a recording into them: their handles, none when that failed.
    std::vector<int32_t> StartRecordingInto(const std::vector<std::string>& paths) {
        std::vector<int32_t> handles;
        for (const std::string& path : paths) {
            handles.push_back(OpenRecordFile(path));
            if (handles.back() < 0)
                return {};
        }
        return Record(handles) == 0 ? handles : std::vector<int32_t>();
    }
    // A write as the library makes it, applied to the model as well.
    int32_t Write(int32_t handle, UnbufferedFile* model, const std::string& data) {
        std::string copy = data;
        const int32_t result =
            VoiceFileWrite(handle, copy.data(), static_cast<uint32_t>(copy.size()));
        if (result >= 0)
            model->Write(data);
        return result;
    }

    TestFacade hardware_;
    int32_t channel_ = hardware_.dx_open(1, "dxxxB1C1", 0);
    std::vector<DX_IOTT> entries_;
    int previous_level_;
};

TEST_F(RecordFilesTest, BuffersCollectWritesUntilTheyFillSeeksFlushAndCloseWritesTheRest) {
    foundation::g_nTraceLevel = 4;
    const std::string path = "C:\\Rec\\MSG1.VOX";
    std::filesystem::create_directories(platform::MapWindowsPath("C:\\Rec"));
    const int32_t file = OpenRecordFile(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(Record({file}), 0);
    EXPECT_EQ(RecordFileOfChannel(channel_), file);
    const std::vector<std::string> journal = Journal();
    const auto setuio = std::find_if(journal.begin(), journal.end(), [](const std::string& l) {
        return l.find("dx_setuio(") != std::string::npos;
    });
    const auto record = std::find_if(journal.begin(), journal.end(), [](const std::string& l) {
        return l.find("dx_reciottdata(") != std::string::npos;
    });
    ASSERT_NE(setuio, journal.end());
    EXPECT_LT(setuio, record) << "the callbacks are installed before the recording starts";
    EXPECT_THAT(*record, HasSubstr(", 1) = 0")) << "the mode narrowed to 16 bits";

    UnbufferedFile model;
    ForgetLines();
    EXPECT_EQ(Write(file, &model, Piece(100000, 'a')), 100000);
    EXPECT_EQ(Write(file, &model, Piece(100000, 'b')), 100000);
    EXPECT_EQ(FileBytes(path).size(), 0u) << "two writes stay in buffer A";
    EXPECT_EQ(Write(file, &model, Piece(100000, 'c')), 100000);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes().substr(0, 200000)))
        << "the third flushed A";
    const std::string start_b = platform::Format(
        "My write - write to start buffer B for file with handle:%d, buffer position after "
        "write: 100000, cnt:100000 bytes, file position:0",
        file);
    const std::string flushed_a = platform::Format(
        "My write - flushed buffer A for file with handle:%d, cnt:200000 bytes, total bytes "
        "written to file:200000, new file position:200000",
        file);
    EXPECT_THAT(NewTexts(), Contains(start_b));
    EXPECT_THAT(NewTexts(), Contains(flushed_a));

    // B would hold exactly 300000: the write goes to A and B is flushed.
    EXPECT_EQ(Write(file, &model, Piece(200000, 'd')), 200000);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes().substr(0, 300000)));

    // A wave header rewritten at the start: the seek flushes A first, the header goes straight
    // to the file, then the recording goes on at the end.
    EXPECT_EQ(Write(file, &model, Piece(5000, 'e')), 5000);
    EXPECT_EQ(VoiceFileSeek(file, 0, 0), 0);
    model.Seek(0);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes()));
    EXPECT_EQ(Write(file, &model, Piece(44, 'h')), 44);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes()))
        << "the header went straight to the file";
    EXPECT_EQ(VoiceFileSeek(file, 0, 2), static_cast<int32_t>(model.Size()));
    model.Seek(model.Size());

    // A write too large for a buffer goes after what is held, straight to the file.
    EXPECT_EQ(Write(file, &model, Piece(7000, 'f')), 7000);
    EXPECT_EQ(Write(file, &model, Piece(300000, 'g')), 300000);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes()));

    EXPECT_EQ(Write(file, &model, Piece(10, 'z')), 10);
    EXPECT_EQ(hardware_.rec_fileclose(file, 0), 0);
    EXPECT_TRUE(SameBytes(FileBytes(path), model.bytes())) << "the close wrote the last 10 bytes";
    EXPECT_EQ(hardware_.rec_fileseek(file, 0, 1), -1) << "the handle is closed";
}

TEST_F(RecordFilesTest, DetailLinesOnlyFromTraceLevelFourButNotFoundAlways) {
    foundation::g_nTraceLevel = 3;
    const int32_t file = OpenRecordFile("C:\\MSG2.VOX");
    ASSERT_GE(file, 0);
    UnbufferedFile model;
    ForgetLines();
    EXPECT_EQ(Write(file, &model, "never registered"), -1);
    EXPECT_EQ(VoiceFileSeek(file, 0, 0), 0);
    EXPECT_THAT(NewTexts(), ::testing::ElementsAre(
                                platform::Format("My write - handle:%d, channel not found", file),
                                platform::Format("My seek - handle:%d not found", file)));

    ASSERT_EQ(Record({file}), 0);
    ForgetLines();
    EXPECT_EQ(Write(file, &model, Piece(1000, 'a')), 1000);
    EXPECT_EQ(VoiceFileSeek(file, 0, 0), 0);
    char back[1000];
    EXPECT_EQ(VoiceFileRead(file, back, sizeof back), 1000);
    EXPECT_TRUE(SameBytes(std::string(back, sizeof back), Piece(1000, 'a')));
    EXPECT_EQ(hardware_.rec_fileclose(file, 0), 0);
    EXPECT_THAT(NewTexts(), ::testing::IsEmpty());
}

// Two files in one transfer list: each keeps its own buffers.
TEST_F(RecordFilesTest, EveryFileOfARecordListHasItsOwnBuffers) {
    const std::vector<int32_t> files = StartRecordingInto({"C:\\PART1.VOX", "C:\\PART2.VOX"});
    ASSERT_EQ(files.size(), 2u);
    const int32_t first = files[0];
    const int32_t second = files[1];
    EXPECT_EQ(RecordFileOfChannel(channel_), first);

    UnbufferedFile model_first;
    UnbufferedFile model_second;
    for (int round = 0; round < 4; ++round) {
        EXPECT_EQ(Write(first, &model_first, Piece(90000, static_cast<char>('a' + round))), 90000);
        EXPECT_EQ(Write(second, &model_second, Piece(70000, static_cast<char>('A' + round))),
                  70000);
    }
    EXPECT_EQ(hardware_.rec_fileclose(first, 0), 0);
    EXPECT_EQ(hardware_.rec_fileclose(second, 0), 0);
    EXPECT_TRUE(SameBytes(FileBytes("C:\\PART1.VOX"), model_first.bytes()));
    EXPECT_TRUE(SameBytes(FileBytes("C:\\PART2.VOX"), model_second.bytes()));
}

// The disk is full (a small tmpfs, filled up): the flush that fails counts nothing, says so,
// and the write reports it; the close that cannot write what is held, tried twice, still
// closes, says how many bytes are lost and reports it.
TEST_F(RecordFilesTest, AFailedFlushFailsTheWriteAndTheClose) {
    ASSERT_TRUE(ruzd::testing::RunningAsRoot()) << "only root may mount a tmpfs";
    foundation::g_nTraceLevel = 4;
    ruzd::testing::SmallTmpfs disk(platform::MapWindowsPath("C:\\FULL"), kDiskBytes);
    ASSERT_TRUE(disk.mounted());
    const int32_t file =
        hardware_.rec_fileopen(1, "C:\\FULL\\FULL.VOX", kCreateForWriting, kReadAndWrite);
    ASSERT_GE(file, 0);
    ASSERT_EQ(Record({file}), 0);
    disk.FillUp();
    UnbufferedFile model;
    ForgetLines();
    EXPECT_EQ(Write(file, &model, Piece(200000, 'a')), 200000);
    EXPECT_EQ(Write(file, &model, Piece(100000, 'b')), -1);
    EXPECT_THAT(NewTexts(), Contains(HasSubstr(platform::Format(
                                "ERROR My write - writing 200000 bytes to file with handle:%d "
                                "failed",
                                file))));
    // Nothing was counted and nothing of the failed write stayed behind: the next write is
    // buffered from the start again, and only it is held for the close.
    ForgetLines();
    EXPECT_EQ(Write(file, &model, Piece(10, 'c')), 10);
    EXPECT_THAT(NewTexts(), Contains(platform::Format(
                                "My write - write to buffer B for file with handle:%d, buffer "
                                "position after write: 10, cnt:10 bytes, file position:0",
                                file)));
    ForgetLines();
    EXPECT_EQ(hardware_.rec_fileclose(file, 0), -1);
    const std::vector<std::string> texts = NewTexts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [&](const std::string& text) {
                                return text.find(platform::Format(
                                           "ERROR rec_fileclose - writing 10 buffered bytes to "
                                           "file with handle:%d",
                                           file)) != std::string::npos;
                            }),
              2)
        << "tried twice";
    EXPECT_THAT(texts, Contains(HasSubstr(platform::Format(
                           "ERROR rec_fileclose - the last 10 bytes of the recording in file "
                           "with handle:%d are lost: the file is cut",
                           file))));
    EXPECT_EQ(hardware_.rec_fileseek(file, 0, 1), -1) << "the handle is closed";
    EXPECT_EQ(FileBytes("C:\\FULL\\FULL.VOX"), "");
}

// A disk full for a moment as the call ends (a small tmpfs, filled up, that has room again
// once the close's first write failed): the close writes the held bytes again, in their place,
// and the recording is whole.
TEST_F(RecordFilesTest, TheCloseWritesTheHeldBytesAgainWhenTheFirstWriteFailed) {
    ASSERT_TRUE(ruzd::testing::RunningAsRoot()) << "only root may mount a tmpfs";
    ruzd::testing::SmallTmpfs disk(platform::MapWindowsPath("C:\\LATE"), kDiskBytes);
    ASSERT_TRUE(disk.mounted());
    const int32_t file =
        hardware_.rec_fileopen(1, "C:\\LATE\\LATE.VOX", kCreateForWriting, kReadAndWrite);
    ASSERT_GE(file, 0);
    ASSERT_EQ(Record({file}), 0);
    UnbufferedFile model;
    EXPECT_EQ(Write(file, &model, Piece(250000, 'a')), 250000);
    EXPECT_EQ(Write(file, &model, Piece(100000, 'b')), 100000);
    disk.FillUp();
    OnLine([&](const std::string& text) {
        if (text.find("ERROR rec_fileclose - writing") != std::string::npos)
            disk.MakeRoom();
    });
    ForgetLines();
    EXPECT_EQ(hardware_.rec_fileclose(file, 0), 0);
    OnLine(nullptr);
    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, Contains(HasSubstr("ERROR rec_fileclose - writing 100000 buffered")));
    EXPECT_THAT(texts, Not(Contains(HasSubstr("are lost"))));
    EXPECT_TRUE(SameBytes(FileBytes("C:\\LATE\\LATE.VOX"), model.bytes()));
}

// Only regular files are recorded into: a FIFO in a recording's place is refused at once,
// never waited on for a reader.
TEST_F(RecordFilesTest, AFifoInARecordingsPlaceIsRefused) {
    std::filesystem::create_directories(platform::MapWindowsPath("C:\\"));
    ASSERT_TRUE(ruzd::testing::MakeFifo(platform::MapWindowsPath("C:\\PIPE.VOX")));
    EXPECT_EQ(hardware_.rec_fileopen(1, "C:\\PIPE.VOX", kCreateForWriting, kReadAndWrite), -1);
    EXPECT_EQ(hardware_.rec_fileopen(1, "C:\\PIPE.VOX", platform::kCrtReadOnly, 0), -1);
}

// The voice data a simulated recording writes: byte n is n mod 251, after a header of 'H'.
std::string SimulatedVoice(size_t header, size_t from, size_t bytes) {
    std::string voice(header, 'H');
    for (size_t n = from; n < from + bytes; ++n)
        voice.push_back(static_cast<char>(n % 251));
    return voice;
}

// The simulated library records as a board does: many small writes through the callbacks,
// a wave header rewritten at the end, the files of the list filled in turn.
TEST_F(RecordFilesTest, ASimulatedRecordingWritesThroughTheBuffers) {
    const std::vector<int32_t> files = StartRecordingInto({"C:\\TAKE1.VOX", "C:\\TAKE2.VOX"});
    ASSERT_EQ(files.size(), 2u);
    const int32_t first = files[0];
    const int32_t second = files[1];
    entries_[0].io_length = 650000;
    EXPECT_EQ(Control("record dxxxB1C1 900000 4000 44"), "OK written=900044");
    EXPECT_EQ(FileBytes("C:\\TAKE2.VOX").size(), 0u) << "the second file's bytes are buffered";
    EXPECT_EQ(hardware_.rec_fileclose(first, 0), 0);
    EXPECT_EQ(hardware_.rec_fileclose(second, 0), 0);
    EXPECT_TRUE(SameBytes(FileBytes("C:\\TAKE1.VOX"), SimulatedVoice(44, 0, 650000)));
    EXPECT_TRUE(SameBytes(FileBytes("C:\\TAKE2.VOX"), SimulatedVoice(0, 650000, 250000)));
    ASSERT_EQ(hardware_.sr_waitevt(0), 0);
    EXPECT_EQ(hardware_.sr_getevttype(), TDX_RECORD);
    EXPECT_EQ(hardware_.sr_getevtdev(), channel_);
    EXPECT_EQ(Control("record dxxxB1C1 10"), "ERR no recording on the channel");
}

// The library's own file functions work on real files by Windows path and run-time flags.
TEST_F(RecordFilesTest, TheSimulatedLibrarysOwnFileFunctions) {
    const int32_t file = hardware_.dx_fileopen(1, "C:\\PLAY.VOX", kCreateForWriting, kReadAndWrite);
    ASSERT_GE(file, 0);
    EXPECT_EQ(hardware_.dx_filewrite(file, "prompt", 6), 6);
    EXPECT_EQ(hardware_.dx_fileseek(file, 1, 0), 1);
    char read[5] = {};
    EXPECT_EQ(hardware_.dx_fileread(file, read, 5), 5);
    EXPECT_EQ(std::string(read, 5), "rompt");
    EXPECT_EQ(hardware_.dx_fileclose(file, 0), 0);
    EXPECT_EQ(FileBytes("C:\\PLAY.VOX"), "prompt");
    EXPECT_EQ(hardware_.dx_fileopen(1, "C:\\MISSING.VOX", platform::kCrtReadOnly, 0), -1);
    EXPECT_EQ(hardware_.dx_fileerrno(), 2);  // ENOENT
}

}  // namespace
}  // namespace ruzd::telephony
