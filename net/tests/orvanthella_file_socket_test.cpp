// The node's file-transfer listener against a test peer that plays the central server over
// real loopback connections, with a recording file cache and a fake update service.

#include "net/orvanthella_file_socket_thread.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nettle/arcfour.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/debug_log.h"
#include "foundation/registry.h"
#include "foundation/time_tools.h"
#include "net/file_cache_owner.h"
#include "net/station_name.h"
#include "platform/clock.h"
#include "platform/process_identity.h"
#include "platform/running_program.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/offering_file_socket.h"
#include "testing/process_counters.h"
#include "testing/scoped_environment.h"
#include "testing/stepped_wall_clock.h"
#include "testing/temp_root.h"

namespace ruzd::net::filetest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ruzd::testing::Eventually;
using ruzd::testing::FilePeer;
using ruzd::testing::FreePort;
using ruzd::testing::KeyRc4;
using ruzd::testing::SteppedWallClock;

// The node as the file-transfer listener sees it: what it was asked to remove, how many
// connections it heard close.
class RecordingFileCache : public FileCacheOwner {
public:
    void RemoveFileFromCache(const std::string& name) override {
        std::lock_guard hold(mutex_);
        removed_files_.push_back(name);
    }
    void OnOrvanthellaFileSocketClose() override {
        std::lock_guard hold(mutex_);
        ++socket_closes_;
    }
    std::vector<std::string> RemovedFiles() const {
        std::lock_guard hold(mutex_);
        return removed_files_;
    }
    int SocketCloseCount() const {
        std::lock_guard hold(mutex_);
        return socket_closes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> removed_files_;
    int socket_closes_ = 0;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A request time-out no transfer of the tests comes near, on any machine: a test that expects
// its answer never waits for more than the answer.
constexpr uint32_t kGenerousTimeoutSeconds = 60;

std::string RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator());
    }
    return bytes;
}

class FileSocketTest : public ::testing::Test {
protected:
    FileSocketTest() : app_(foundation::kRunModeService, "Pelwix"), installed_app_(app_) {
        environment_.Set("TMPDIR", temp_.path().string());
        fs::create_directories(work_.path() / "FileCache");
        fs::create_directories(root_.path() / "drives" / "c" / "Debug");
        foundation::StartDebugLog("C:\\Debug\\Node", 0, true, 0);
        // Lines are written by the threads that end them, so they can be read back at once.
        foundation::StopDebugMessageThread();
        foundation::TimeTools::ResetServerTimeShift();
    }
    ~FileSocketTest() override {
        thread_.reset();
        PublishedFileCacheOwner().Publish({});
        foundation::StopDebugLog();
        foundation::TimeTools::ResetServerTimeShift();
    }

    void Start() {
        port_ = FreePort();
        thread_ = std::make_unique<COrvanthellaFileSocketThread>(node_.get(), port_);
        thread_->SetCentralAddress("127.0.0.1");
    }

    // The same with connections that offer `encrypt` and `compress`, which offered_ keeps.
    void StartOffering(bool encrypt, bool compress) {
        offered_.emplace(encrypt, compress);
        port_ = FreePort();
        thread_ =
            std::make_unique<COrvanthellaFileSocketThread>(node_.get(), port_, offered_->Factory());
        thread_->SetCentralAddress("127.0.0.1");
    }

    // Asks for `central` to be written to `local`, on a thread of its own: whether the file
    // came, and the answer's text.
    std::future<std::pair<bool, std::string>> AskForFile(std::string central, std::string local) {
        return std::async(std::launch::async, [this, central, local]() mutable {
            const bool ok = thread_->RequestFile(central, local);
            return std::make_pair(ok, local);
        });
    }

    // The id of the next request that `peer` reads; empty when none came.
    static std::string NextRequestId(FilePeer& peer) {
        const std::optional<std::string> line = peer.ReadLine();
        return line ? line->substr(7, line->find(' ', 7) - 7) : std::string();
    }

    void SetDword(const char* name, uint32_t value) {
        foundation::CRegistry("Pelwix").WriteDword(name, value);
    }

    std::string LogText() const {
        std::string all;
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator(root_.path() / "drives" / "c" / "Debug", error)) {
            all += ReadFile(entry.path());
        }
        return all;
    }

    bool LogContains(const std::string& text) const {
        const fs::path folder = root_.path() / "drives" / "c" / "Debug";
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (ReadFile(entry.path()).find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    testing::TempRoot root_;
    testing::TempWorkFolder work_;
    testing::TempDir temp_;
    testing::ScopedEnvironment environment_;
    foundation::AppHooks app_;
    foundation::ScopedApp installed_app_;
    std::shared_ptr<RecordingFileCache> node_ = std::make_shared<RecordingFileCache>();
    uint16_t port_ = 0;
    std::optional<testing::OfferingFileSockets> offered_;
    std::unique_ptr<COrvanthellaFileSocketThread> thread_;
};

TEST_F(FileSocketTest, StartsAuthorisesOnlyProtocolVersionTwo) {
    Start();
    FilePeer other(port_);
    ASSERT_TRUE(other.Handshake(false));
    other.SendText("STARTS 3\r");
    EXPECT_EQ(other.ReadLine(), "STARTS 0");
    EXPECT_FALSE(thread_->HasAuthorisedSocket());
    EXPECT_TRUE(LogContains("File Socket Communication version not equal"));

    auto peer = FilePeer::Authorised(port_);
    EXPECT_TRUE(thread_->HasAuthorisedSocket());
    EXPECT_EQ(thread_->SocketCount(), 2u);
}

TEST_F(FileSocketTest, ConnectionWithoutAFinishedHandshakeIsClosedAndNeverAuthorised) {
    Start();
    FilePeer silent(port_);
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_TRUE(LogContains("not finished in time: connection closed"));
    EXPECT_FALSE(thread_->HasAuthorisedSocket());

    // Commands sent before the handshake (under its encryption) are refused.
    FilePeer early(port_);
    early.SetSettings(true, false);
    early.SendText("STARTS 2\rTTSYNC 2001-01-01T00:00:00+00000\r");
    ASSERT_TRUE(early.Handshake(false));
    early.SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(early.ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_FALSE(thread_->HasAuthorisedSocket());
    EXPECT_FALSE(foundation::TimeTools::IsServerTimeShiftActive());
    EXPECT_TRUE(LogContains("COrvanthellaFileSocket::OnCommandNotAllowed STARTS 2"));
    EXPECT_TRUE(LogContains("COrvanthellaFileSocket::OnCommandNotAllowed TTSYNC"));
    early.SendText("STARTS 2\r");
    EXPECT_EQ(early.ReadLine(), "STARTS 1");
}

TEST_F(FileSocketTest, HandshakeAnswerIsEncryptedWithTheMd5KeyAndOffersCompressionFromRegistry) {
    SetDword("FileCacheSyncUseCompression", 1);
    const char* previousZone = getenv("TZ");
    const std::string savedZone = previousZone != nullptr ? previousZone : "";
    setenv("TZ", "UTC", 1);
    SteppedWallClock clock(std::chrono::sys_days(std::chrono::year(2026) / 12 / 8) + 8h + 5min +
                           10s);
    platform::ScopedClockOverride installed(clock);
    // The listener's thread reads the clock as long as it runs: it ends first.
    struct StopFirst {
        std::unique_ptr<COrvanthellaFileSocketThread>& thread;
        ~StopFirst() { thread.reset(); }
    } stop_first{thread_};
    Start();
    FilePeer peer(port_);
    const std::optional<std::vector<std::string>> reply = peer.Handshake(false);
    ASSERT_TRUE(reply);
    std::string expected = "CNPROP 2026-12-08T08:05:10+00:00 0 1";
    if (const std::optional<std::string> station = GetStationName()) {
        expected += " " + *station;
    }
    expected += "\r";
    std::vector<uint8_t> independent(expected.begin(), expected.end());
    arcfour_ctx cipher;
    KeyRc4(cipher);
    arcfour_crypt(&cipher, independent.size(), independent.data(), independent.data());
    EXPECT_EQ(peer.ReplyWire(), independent);
    if (previousZone != nullptr) {
        setenv("TZ", savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }

    // The rest of the connection is compressed and not encrypted.
    EXPECT_FALSE(peer.Encrypting());
    EXPECT_TRUE(peer.Compressing());
    peer.SendText("STARTS 2\r");
    EXPECT_EQ(peer.ReadLine(), "STARTS 1");
}

TEST_F(FileSocketTest, HandshakeWithoutCompressionWhenTheRegistrySaysZero) {
    SetDword("FileCacheSyncUseCompression", 0);
    Start();
    FilePeer peer(port_);
    const auto reply = peer.Handshake(false);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[1], "0");
    EXPECT_EQ((*reply)[2], "0");
    peer.SendText("STARTS 2\r");
    EXPECT_EQ(peer.ReadLine(), "STARTS 1");
}

TEST_F(FileSocketTest, BuiltInCommandsOnTheFileConnection) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    // An echoed stamp stays one parameter of one line.
    peer->SendText(
        "HEARTB 1 x\x07STARTS\x0C"
        "2\r");
    EXPECT_EQ(peer->ReadLine(),
              "HEARTB 0 x\x07STARTS\x0C"
              "2");
    // A time the clock cannot hold is refused, not converted.
    peer->SendText("CURTIM 1300-01-31T00:01:33+06:00\r");
    peer->SendText("CURTIM 9999-01-31T00:01:33+06:00\r");
    peer->SendText("CURTIM 2026-12-08T08:05:10+00:00\r");
    peer->SendText("TTSYNC\r");
    const std::optional<std::string> clock = peer->ReadLine();
    ASSERT_TRUE(clock);
    EXPECT_EQ(clock->rfind("TTSYNC ", 0), 0u);
    peer->SendText("TTSYNC " + foundation::TimeTools::GetLocalIsoTimestamp() + "\r");
    EXPECT_TRUE(Eventually([] { return foundation::TimeTools::IsServerTimeShiftActive(); }));
}

TEST_F(FileSocketTest, RequestedFileArrivesAsTxfileIntoTheCache) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    fs::create_directories(work_.path() / "FileCache" / "C" / "VOX");
    auto request = std::async(std::launch::async, [&] {
        std::string local = ".\\FileCache\\C\\VOX\\A B.VOX";
        const bool ok = thread_->RequestFile("C:\\VOX\\A B.VOX", local);
        return std::make_pair(ok, local);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    ASSERT_EQ(line->rfind("REQFIL ", 0), 0u);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    EXPECT_EQ(*line, "REQFIL " + id +
                         " C:\\VOX\\A\x0C"
                         "B.VOX .\\FileCache\\C\\VOX\\A\x0C"
                         "B.VOX");
    const std::string content = RandomBytes(100000, 1);
    peer->SendText("TXFILE " + id +
                   " 1 0 .\\FileCache\\C\\VOX\\A\x0C"
                   "B.VOX " +
                   std::to_string(content.size()) + "\r");
    peer->SendText(content.substr(0, 40000));
    peer->SendText(content.substr(40000));
    const auto [ok, local] = request.get();
    EXPECT_TRUE(ok);
    EXPECT_EQ(local, ".\\FileCache\\C\\VOX\\A B.VOX");
    EXPECT_EQ(ReadFile(work_.path() / "FileCache" / "C" / "VOX" / "A B.VOX"), content);
    EXPECT_EQ(thread_->PendingRequests(), 0u);
}

TEST_F(FileSocketTest, TxfileFailuresAnswerTheWaiter) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    for (const std::string path : {"..\\outside.vox", ".\\FileCache\\..\\outside.vox",
                                   "C:\\Windows\\a.vox", ".\\FileCache\\NoFolder\\a.vox"}) {
        auto request = std::async(std::launch::async, [&] {
            std::string local = path;
            const bool ok = thread_->RequestFile("C:\\VOX\\X.VOX", local);
            return std::make_pair(ok, local);
        });
        const std::optional<std::string> line = peer->ReadLine();
        ASSERT_TRUE(line);
        const std::string id = line->substr(7, line->find(' ', 7) - 7);
        peer->SendText("TXFILE " + id + " 1 0 " + path + " 3\rabc");
        const auto [ok, text] = request.get();
        EXPECT_FALSE(ok) << path;
        EXPECT_NE(text, path);
        EXPECT_FALSE(text.empty());
    }
    EXPECT_FALSE(fs::exists(work_.path() / "outside.vox"));
    // Status other than 1: the answer carries the path and failure.
    auto request = std::async(std::launch::async, [&] {
        std::string local = ".\\FileCache\\missing.vox";
        const bool ok = thread_->RequestFile("C:\\VOX\\MISSING.VOX", local);
        return std::make_pair(ok, local);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    peer->SendText("TXFILE " + id + " 0 0 .\\FileCache\\missing.vox 0\r");
    const auto [ok, text] = request.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(text, ".\\FileCache\\missing.vox");
}

TEST_F(FileSocketTest, TxfileForAnIdNobodyWaitsForIsReadPastAndDropped) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText("TXFILE 999 1 0 .\\FileCache\\pushed.vox 5\rhello");
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache" / "pushed.vox"));
    EXPECT_TRUE(LogContains("TXFILE 999 dropped: the node is not waiting for this file"));
}

// The bytes of a TXFILE answer reach the node cut in two at every place: RC4, inflate, the
// line and the block all take up where they stopped, and the line after the block is read.
class CutTxfileTest : public FileSocketTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CutTxfileTest, EveryCutOfTheWireBringsTheWholeFileAndTheLineAfterIt) {
    StartOffering(true, GetParam());
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer->Encrypting());
    ASSERT_EQ(peer->Compressing(), GetParam());
    const std::shared_ptr<COrvanthellaFileSocket> node = offered_->Newest();
    ASSERT_TRUE(node);
    for (size_t cut = 1;; ++cut) {
        auto request = AskForFile("C:\\VOX\\CUT.VOX", ".\\FileCache\\cut.vox");
        const std::string id = NextRequestId(*peer);
        ASSERT_FALSE(id.empty());
        // Half of it deflate can shorten; new bytes each time, so that none is a copy of what
        // the stream saw before.
        const std::string content = RandomBytes(100, static_cast<uint32_t>(cut)) +
                                    std::string(60, static_cast<char>('a' + cut % 26));
        const std::string message = "TXFILE " + id + " 1 0 .\\FileCache\\cut.vox " +
                                    std::to_string(content.size()) + "\r" + content +
                                    "HEARTB 1 00000000010000000002\r";
        const std::vector<uint8_t> wire =
            peer->Encode(reinterpret_cast<const uint8_t*>(message.data()), message.size());
        const size_t at = std::min(cut, wire.size() - 1);
        const uint64_t before = node->GetReceivedBytes(true);
        peer->SendWire(std::vector<uint8_t>(wire.begin(), wire.begin() + at));
        // The node has taken the first part before the rest comes.
        ASSERT_TRUE(Eventually([&] { return node->GetReceivedBytes(true) == before + at; }));
        peer->SendWire(std::vector<uint8_t>(wire.begin() + at, wire.end()));
        ASSERT_TRUE(request.get().first) << "cut at " << at;
        EXPECT_EQ(ReadFile(work_.path() / "FileCache" / "cut.vox"), content) << "cut at " << at;
        EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002") << "cut at " << at;
        // A cut inside deflate's flush marker leaves the text whole in the first part: the
        // answers above may come before the node has read the rest, which the next count needs.
        const uint64_t whole = before + wire.size();
        ASSERT_TRUE(Eventually([&] { return node->GetReceivedBytes(true) == whole; })) << at;
        if (at + 1 == wire.size()) {
            break;
        }
    }
    EXPECT_TRUE(fs::is_empty(work_.path() / "FileCacheIncoming"));
}

INSTANTIATE_TEST_SUITE_P(EncryptedAndCompressed, CutTxfileTest, ::testing::Bool());

TEST_F(FileSocketTest, AConnectionLostInsideTheBlockRenamesNothingAndAnswersAtOnce) {
    Start();
    const fs::path copy = work_.path() / "FileCache" / "C" / "VOX" / "KEPT.VOX";
    WriteFile(copy, "the copy the cache had");
    auto peer = FilePeer::Authorised(port_);
    auto request = AskForFile("C:\\VOX\\KEPT.VOX", ".\\FileCache\\C\\VOX\\KEPT.VOX");
    const std::string id = NextRequestId(*peer);
    ASSERT_FALSE(id.empty());
    peer->SendText("TXFILE " + id + " 1 0 .\\FileCache\\C\\VOX\\KEPT.VOX 100000\r" +
                   RandomBytes(60000, 3));
    // The first part is written beside the cache before the connection goes.
    const fs::path incoming = work_.path() / "FileCacheIncoming";
    ASSERT_TRUE(Eventually([&] {
        std::error_code error;
        const fs::directory_iterator first(incoming, error);
        return !error && first != fs::directory_iterator() && first->file_size(error) == 60000;
    }));
    peer->Close();
    const auto [ok, text] = request.get();
    EXPECT_FALSE(ok);
    // Not the time-out's text: the request's end came with the connection's.
    EXPECT_EQ(text, "Transfer broken off (.\\FileCache\\C\\VOX\\KEPT.VOX)");
    EXPECT_EQ(ReadFile(copy), "the copy the cache had");
    EXPECT_TRUE(fs::is_empty(incoming));
    EXPECT_TRUE(LogContains("TXFILE " + id + " broken off after 60000 of 100000 bytes"));
}

size_t ResidentBytes() {
    return testing::MemoryBytes("VmRSS:");
}

TEST_F(FileSocketTest, ABlockTakesMemoryAsItsBytesArriveNotAsItsLineAnnounces) {
    Start();
    // The block stays unfinished until the connection closes, which ends the request: the
    // time-out must not end it first, however slowly the machine gets there.
    thread_->SetRequestTimeoutSeconds(kGenerousTimeoutSeconds);
    auto peer = FilePeer::Authorised(port_);
    auto other = FilePeer::Authorised(port_);
    auto request = std::async(std::launch::async, [&] {
        std::string local = ".\\FileCache\\large.vox";
        return thread_->RequestFile("C:\\VOX\\LARGE.VOX", local);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    const size_t before = ResidentBytes();
    peer->SendText("TXFILE " + id + " 1 0 .\\FileCache\\large.vox 50000000\rabc");
    // Two round trips on the other connection: the listener has read the line by then.
    for (int round = 0; round < 2; ++round) {
        other->SendText("HEARTB 1 00000000010000000002\r");
        EXPECT_EQ(other->ReadLine(), "HEARTB 0 00000000010000000002");
    }
    EXPECT_LT(ResidentBytes(), before + 20000000);
    EXPECT_FALSE(LogContains("dropped"));
    peer->Close();
    EXPECT_FALSE(request.get());
}

TEST_F(FileSocketTest, AnOverlongLineEndsTheConnection) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText(std::string(70000, 'A'));
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_TRUE(LogContains("ended: a text line longer than 65536 characters"));
    EXPECT_TRUE(Eventually([&] { return !thread_->HasAuthorisedSocket(); }));
}

TEST_F(FileSocketTest, APieceThatInflatesPastTheMaximumEndsTheConnection) {
    SetDword("FileCacheSyncUseCompression", 1);
    SetDword("MaximumFileCacheSyncSizeMB", 0);
    Start();
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer->Compressing());
    // Sixteen megabytes of zeros are a few kilobytes on the wire.
    const std::vector<uint8_t> zeros(1 << 20, 0);
    std::vector<uint8_t> wire;
    for (int megabyte = 0; megabyte < 16; ++megabyte) {
        const std::vector<uint8_t> piece = peer->Encode(zeros.data(), zeros.size());
        wire.insert(wire.end(), piece.begin(), piece.end());
    }
    peer->SendWire(wire);
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_TRUE(LogContains("received bytes inflate to more than"));
}

// Megabytes of heartbeat requests, which any connection may send: a few kilobytes deflated.
std::vector<uint8_t> DeflatedHeartbeats(FilePeer& peer, size_t bytes) {
    const std::string line = "HEARTB 1 00000000010000000002\r";
    std::string lines;
    lines.reserve(bytes + line.size());
    while (lines.size() < bytes) {
        lines += line;
    }
    return peer.Encode(reinterpret_cast<const uint8_t*>(lines.data()), lines.size());
}

// How a connection that is not the central server's bound one came to be.
enum class Stranger { kHandshakeOnly, kAuthorisedElsewhere, kAuthorisedLater };

class StrangerTest : public FileSocketTest, public ::testing::WithParamInterface<Stranger> {
protected:
    // The central server's bound connection first, then the stranger.
    std::unique_ptr<FilePeer> ConnectStranger() {
        central_ = FilePeer::Authorised(port_);
        EXPECT_TRUE(central_ && thread_->HasCentralSocket());
        switch (GetParam()) {
            case Stranger::kHandshakeOnly: {
                auto peer = std::make_unique<FilePeer>(port_);
                EXPECT_TRUE(peer->Handshake(false));
                return peer;
            }
            case Stranger::kAuthorisedElsewhere:
                return FilePeer::AuthorisedFrom("127.0.0.2", port_);
            case Stranger::kAuthorisedLater:
                // From the central server's own address, after its bound connection.
                return FilePeer::Authorised(port_);
        }
        return nullptr;
    }

    // The central server's bound connection still answers.
    void ExpectTheCentralAnswers() {
        central_->SendText("HEARTB 1 00000000010000000002\r");
        EXPECT_EQ(central_->ReadLine(), "HEARTB 0 00000000010000000002");
    }

    std::unique_ptr<FilePeer> central_;
};

TEST_P(StrangerTest, APieceInflatesTo256KilobytesAtMost) {
    SetDword("FileCacheSyncUseCompression", 1);
    Start();
    auto stranger = ConnectStranger();
    ASSERT_TRUE(stranger && stranger->Compressing());
    // Far below what the central server's pieces may inflate to (twice 50 MB).
    stranger->SendWire(DeflatedHeartbeats(*stranger, 8 << 20));
    EXPECT_TRUE(stranger->WaitClosed());
    EXPECT_TRUE(LogContains("received bytes inflate to more than 262144"));
    ExpectTheCentralAnswers();
}

TEST_P(StrangerTest, ItsNinthRefusedLineEndsIt) {
    Start();
    auto stranger = ConnectStranger();
    ASSERT_TRUE(stranger);
    const auto refused = [](const std::string& word) {
        std::string lines;
        for (int line = 0; line < 20; ++line) {
            lines += word + " " + std::to_string(line) + "\r";
        }
        return lines;
    };
    // The central server's bound connection is heard whatever it sends.
    central_->SendText(refused("NOSUCH"));
    ExpectTheCentralAnswers();
    stranger->SendText(refused("STRANGE") + "HEARTB 1 00000000010000000002\r");
    EXPECT_TRUE(stranger->WaitClosed());
    EXPECT_TRUE(LogContains(GetParam() == Stranger::kHandshakeOnly
                                ? "ended: more than 8 refused lines before its authorisation"
                                : "ended: more than 8 refused lines, not being the central "
                                  "server's"));
    EXPECT_TRUE(LogContains("OnCommandNotFound STRANGE 8"));
    EXPECT_FALSE(LogContains("OnCommandNotFound STRANGE 9"));
    ExpectTheCentralAnswers();
}

TEST_P(StrangerTest, ItsBytesCountInTheBudgetOfTheConnectionsOtherThanTheCentralServers) {
    SetDword("Other Connections Buffer KB", 16);
    Start();
    auto stranger = ConnectStranger();
    ASSERT_TRUE(stranger);
    // Twice the budget of a line that does not end yet, which the central server may send.
    const std::string start = "NOSUCH " + std::string(32 << 10, 'a');
    central_->SendText(start);
    stranger->SendText(start);
    EXPECT_TRUE(stranger->WaitClosed());
    EXPECT_TRUE(LogContains("ended: connections other than the active one hold more than 16384"));
    central_->SendText("\r");
    ExpectTheCentralAnswers();
}

INSTANTIATE_TEST_SUITE_P(Kinds, StrangerTest,
                         ::testing::Values(Stranger::kHandshakeOnly, Stranger::kAuthorisedElsewhere,
                                           Stranger::kAuthorisedLater));

TEST_F(FileSocketTest, TheCentralServersConnectionIsAStrangerBeforeItIsBoundAndAfter) {
    SetDword("FileCacheSyncUseCompression", 1);
    port_ = FreePort();
    thread_ = std::make_unique<COrvanthellaFileSocketThread>(node_.get(), port_);
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer && peer->Compressing());
    // Authorised, but no central server is active yet: a piece of a megabyte is too much.
    peer->SendWire(DeflatedHeartbeats(*peer, 1 << 20));
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_TRUE(LogContains("received bytes inflate to more than 262144"));

    // Bound by the central server's CNINIT: the same piece is answered line by line.
    peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer);
    thread_->SetCentralAddress("127.0.0.1");
    ASSERT_TRUE(thread_->HasCentralSocket());
    peer->SendWire(DeflatedHeartbeats(*peer, 1 << 20));
    for (size_t line = 0; line < (1 << 20) / 30; ++line) {
        ASSERT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002") << line;
    }

    // The session's end unbinds it.
    thread_->SetCentralAddress({});
    peer->SendWire(DeflatedHeartbeats(*peer, 1 << 20));
    EXPECT_TRUE(peer->WaitClosed());
}

TEST_F(FileSocketTest, CorruptCompressedBytesInsideABlockEndTheConnectionAndLeaveTheCopy) {
    SetDword("FileCacheSyncUseCompression", 1);
    Start();
    const fs::path copy = work_.path() / "FileCache" / "kept.vox";
    WriteFile(copy, "the copy the cache had");
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer->Compressing());
    auto request = AskForFile("C:\\VOX\\KEPT.VOX", ".\\FileCache\\kept.vox");
    const std::string id = NextRequestId(*peer);
    ASSERT_FALSE(id.empty());
    peer->SendText("TXFILE " + id + " 1 0 .\\FileCache\\kept.vox 5000\r" + RandomBytes(2000, 4));
    // A deflate block of the type that does not exist.
    peer->SendWire({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_TRUE(peer->WaitClosed());
    const auto [ok, text] = request.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(text, "Transfer broken off (.\\FileCache\\kept.vox)");
    EXPECT_EQ(ReadFile(copy), "the copy the cache had");
    EXPECT_TRUE(fs::is_empty(work_.path() / "FileCacheIncoming"));
    EXPECT_TRUE(LogContains("ended: 4 received bytes do not inflate"));
}

TEST_F(FileSocketTest, UnansweredRequestsTimeOut) {
    Start();
    thread_->SetRequestTimeoutSeconds(1);
    auto peer = FilePeer::Authorised(port_);
    std::string local = ".\\FileCache\\late.vox";
    EXPECT_FALSE(thread_->RequestFile("C:\\VOX\\LATE.VOX", local));
    EXPECT_EQ(local, "Timeout File Request");

    WriteFile(work_.path() / "Rec" / "a.wav", "recording");
    std::string error;
    EXPECT_FALSE(thread_->UploadFile(3, ".\\Rec\\a.wav", "\\\\central\\a.wav", error, true));
    EXPECT_EQ(error, "Timeout File Update (.\\Rec\\a.wav)");

    // The late answers find nobody and are dropped.
    const std::optional<std::string> request = peer->ReadLine();
    ASSERT_TRUE(request);
    const std::string id = request->substr(7, request->find(' ', 7) - 7);
    peer->SendText("TXFILE " + id + " 1 0 .\\FileCache\\late.vox 2\rok");
    peer->SendText("HEARTB 1 00000000010000000002\r");
    ASSERT_TRUE(peer->ReadLine());
    ASSERT_TRUE(peer->ReadBytes(9));
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache" / "late.vox"));
    EXPECT_EQ(thread_->PendingRequests(), 0u);
}

TEST_F(FileSocketTest, UploadOfAMegabyteOfRandomBytesUnderCompression) {
    SetDword("FileCacheSyncUseCompression", 1);
    Start();
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer->Compressing());
    const std::string content = RandomBytes(1048576, 2);
    WriteFile(work_.path() / "Rec" / "b.wav", content);
    auto upload = std::async(std::launch::async, [&] {
        std::string error;
        const bool ok =
            thread_->UploadFile(4, ".\\Rec\\b.wav", "\\\\central\\rec\\b.wav", error, true);
        return std::make_pair(ok, error);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    EXPECT_EQ(*line, "UPFILE " + id + " 1 .\\Rec\\b.wav \\\\central\\rec\\b.wav 1048576");
    const std::optional<std::vector<uint8_t>> bytes = peer->ReadBytes(content.size());
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(std::string(bytes->begin(), bytes->end()) == content);
    peer->SendText("TXQRES " + id + " 0 Stored\x0Cwell 1\r");
    const auto [ok, error] = upload.get();
    EXPECT_TRUE(ok);
    EXPECT_EQ(error, "Stored well");
}

// The peak since the last ResetPeakResidentBytes.
size_t PeakResidentBytes() {
    return testing::MemoryBytes("VmHWM:");
}

void ResetPeakResidentBytes() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

TEST_F(FileSocketTest, AnUploadIsHandedOverAsTheCentralServerTakesItAndAnswersWaitForIt) {
    Start();
    // Short: the central server that reads nothing is given up after it.
    thread_->SetRequestTimeoutSeconds(2);
    auto peer = FilePeer::Authorised(port_);
    const fs::path file = work_.path() / "Rec" / "long.wav";
    WriteFile(file, "");
    fs::resize_file(file, 50u << 20);

    // A central server that reads nothing: the node holds little of the file, gives up and ends
    // the connection, whose peer is somewhere inside the file.
    ResetPeakResidentBytes();
    const size_t before = ResidentBytes();
    std::string error;
    EXPECT_FALSE(thread_->UploadFile(9, ".\\Rec\\long.wav", "t", error, true));
    EXPECT_EQ(error, "Timeout File Update (.\\Rec\\long.wav)");
    EXPECT_LT(PeakResidentBytes(), before + (24u << 20));
    EXPECT_TRUE(peer->WaitClosed());

    // One that reads: a keep-alive it sends meanwhile is answered after the file's bytes. It
    // reads as fast as the machine lets it, which a sanitized build on a busy machine makes slow:
    // the time-out is a ceiling it never needs.
    thread_->SetRequestTimeoutSeconds(kGenerousTimeoutSeconds);
    peer = FilePeer::Authorised(port_);
    auto upload = std::async(std::launch::async, [&] {
        std::string answer;
        return thread_->UploadFile(9, ".\\Rec\\long.wav", "t", answer, true);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    peer->SendText("HEARTB 1 00000000010000000002\r");
    const std::optional<std::vector<uint8_t>> bytes = peer->ReadBytes(50u << 20);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::count(bytes->begin(), bytes->end(), 0), 50 << 20);
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    peer->SendText("TXQRES " + line->substr(7, line->find(' ', 7) - 7) + " 0 stored 1\r");
    EXPECT_TRUE(upload.get());
}

// A central server that takes an upload slowly to its end and answers as soon as it has the last
// byte: from the file's last piece on to the answer more than the time-out goes by, none of it
// with the node waiting for an answer.
TEST_F(FileSocketTest, AnUploadsAnswerIsWaitedForFromTheMomentItsLastByteLeftTheNode) {
    // The node's tick stands still: the kernel makes room for the node's bytes only in large
    // steps, which a slow reader's pace would stretch beyond the time-out in which the node
    // gives up a central server that takes nothing. The answer's wait runs on real time.
    platform::ManualClock clock(std::chrono::system_clock::now(), 1000);
    platform::ScopedClockOverride use_clock(clock);
    struct StopFirst {
        std::unique_ptr<COrvanthellaFileSocketThread>& thread;
        ~StopFirst() { thread.reset(); }
    } stop_first{thread_};
    // Long enough for a loaded machine to take what the kernel still holds and answer after the
    // node's last byte has left it; the slow part below outlasts it on any machine.
    constexpr uint32_t kTimeoutSeconds = 8;
    StartOffering(false, false);
    thread_->SetRequestTimeoutSeconds(kTimeoutSeconds);
    auto peer = FilePeer::Authorised(port_);
    ASSERT_TRUE(peer);
    const std::shared_ptr<COrvanthellaFileSocket> node = offered_->Newest();
    ASSERT_TRUE(node);
    // More than the kernel holds for a connection, so that the node still holds the file's end
    // when its last piece is handed over.
    constexpr size_t kSize = 16u << 20;
    const fs::path file = work_.path() / "Rec" / "slow.wav";
    WriteFile(file, "");
    fs::resize_file(file, kSize);
    const uint64_t sentBefore = node->GetSentBytes(false);
    auto upload = std::async(std::launch::async, [&] {
        std::string answer;
        const bool ok = thread_->UploadFile(9, ".\\Rec\\slow.wav", "t", answer, true);
        return std::make_pair(ok, answer);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const uint64_t everything = sentBefore + line->size() + 1 + kSize;
    size_t taken = 0;
    const auto take = [&](size_t most) {
        const size_t count = std::min(most, kSize - taken);
        taken += count;
        return peer->ReadBytes(count).has_value();
    };

    // The central server takes only what the node waits for, so that the kernel's buffers stay
    // full, until the node has handed over its last piece...
    ASSERT_TRUE(Eventually([&] {
        if (node->QueuedBytes() > COrvanthellaFileSocketThread::kUploadWindowBytes) {
            EXPECT_TRUE(take(64u << 10));
        }
        return node->GetSentBytes(false) == everything;
    }));
    // ...then slowly (128 KiB a second: the megabytes the node still holds take some twenty
    // seconds), until the node has nothing left to send...
    const auto lastPiece = std::chrono::steady_clock::now();
    while (node->QueuedBytes() > 0 && taken < kSize) {
        ASSERT_TRUE(take(32u << 10));
        std::this_thread::sleep_for(250ms);
    }
    const auto slowPart = std::chrono::steady_clock::now() - lastPiece;
    // ...and the rest at once, answered right after.
    ASSERT_TRUE(take(kSize));
    peer->SendText("TXQRES " + line->substr(7, line->find(' ', 7) - 7) + " 0 stored 1\r");
    EXPECT_EQ(upload.get(), std::make_pair(true, std::string("stored")));
    EXPECT_GT(slowPart, std::chrono::seconds(kTimeoutSeconds))
        << "the node's end of the file left it sooner than the test needs";
}

// A connection from the central server's machine that was there first, but authorised only once
// the central server was active, and one authorised before the central server's own.
TEST_F(FileSocketTest, TheCentralServersConnectionIsTheOneAuthorisedLastBeforeItBecameActive) {
    port_ = FreePort();
    thread_ = std::make_unique<COrvanthellaFileSocketThread>(node_.get(), port_);
    FilePeer early(port_);
    ASSERT_TRUE(early.Handshake(false));
    auto older = FilePeer::Authorised(port_);
    auto central = FilePeer::Authorised(port_);
    ASSERT_TRUE(older && central);
    thread_->SetCentralAddress("127.0.0.1");
    early.SendText("STARTS 2\r");
    ASSERT_EQ(early.ReadLine(), "STARTS 1");
    const auto nothingBeforeHeartbeat = [](FilePeer& peer) {
        peer.SendText("HEARTB 1 00000000010000000002\r");
        EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
    };
    const auto fetchOver = [&](FilePeer& peer) {
        auto request = AskForFile("C:\\VOX\\BOUND.VOX", ".\\FileCache\\bound.vox");
        const std::string id = NextRequestId(peer);
        peer.SendText("TXFILE " + id + " 1 0 .\\FileCache\\bound.vox 2\rok");
        EXPECT_TRUE(request.get().first);
    };

    // The others' clocks are not taken, their requests are none.
    for (FilePeer* other : {&early, older.get()}) {
        other->SendText("TTSYNC " + foundation::TimeTools::GetLocalIsoTimestamp() + "\r");
        nothingBeforeHeartbeat(*other);
    }
    EXPECT_FALSE(foundation::TimeTools::IsServerTimeShiftActive());
    fetchOver(*central);
    nothingBeforeHeartbeat(early);
    nothingBeforeHeartbeat(*older);

    // Once it closes, the connections authorised already do not take its place: the next one
    // authorised does.
    central.reset();
    EXPECT_TRUE(Eventually([&] { return !thread_->HasCentralSocket(); }));
    std::string local = ".\\FileCache\\bound.vox";
    EXPECT_FALSE(thread_->RequestFile("C:\\VOX\\BOUND.VOX", local));
    EXPECT_EQ(local, "No Connected File Socket found (C:\\VOX\\BOUND.VOX)");
    auto next = FilePeer::Authorised(port_);
    ASSERT_TRUE(next);
    EXPECT_TRUE(thread_->HasCentralSocket());
    EXPECT_TRUE(LogContains("File Socket connection of the central server closed"));
    fetchOver(*next);
    next->SendText("TTSYNC " + foundation::TimeTools::GetLocalIsoTimestamp() + "\r");
    EXPECT_TRUE(Eventually([] { return foundation::TimeTools::IsServerTimeShiftActive(); }));
    nothingBeforeHeartbeat(early);
    nothingBeforeHeartbeat(*older);

    // A central server that is active anew takes the connection authorised last.
    thread_->SetCentralAddress({});
    auto newest = FilePeer::Authorised(port_);
    ASSERT_TRUE(newest);
    thread_->SetCentralAddress("127.0.0.1");
    fetchOver(*newest);
    nothingBeforeHeartbeat(*next);
}

TEST_F(FileSocketTest, UploadFailuresBeforeSending) {
    Start();
    std::string error;
    EXPECT_FALSE(thread_->UploadFile(1, ".\\Rec\\none.wav", "x", error, true));
    EXPECT_EQ(error, "File Not Found (.\\Rec\\none.wav)");
    WriteFile(work_.path() / "Rec" / "c.wav", "abc");
    EXPECT_FALSE(thread_->UploadFile(1, ".\\Rec\\c.wav", "x", error, true));
    EXPECT_EQ(error, "No Connected File Socket found (.\\Rec\\c.wav)");
    EXPECT_EQ(thread_->PendingRequests(), 0u);
}

TEST_F(FileSocketTest, MaximumSizeIsWrittenBackAndLargerFilesAreRefused) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    const fs::path ten = work_.path() / "Rec" / "ten.wav";
    const fs::path sixty = work_.path() / "Rec" / "sixty.wav";
    WriteFile(ten, "");
    WriteFile(sixty, "");
    fs::resize_file(ten, 10u << 20);
    fs::resize_file(sixty, 60u << 20);
    std::string error;
    EXPECT_FALSE(thread_->UploadFile(5, ".\\Rec\\sixty.wav", "x", error, true));
    EXPECT_EQ(error, "File too big (.\\Rec\\sixty.wav)");
    EXPECT_TRUE(
        LogContains("File .\\Rec\\sixty.wav skipped during FileSocket transfer: "
                    "size=62914560 is bigger than 50 MB, and no higher maximum "
                    "configured in registry"))
        << LogText();
    uint32_t maximum = 0;
    EXPECT_TRUE(foundation::CRegistry("Pelwix").ReadDword("MaximumFileCacheSyncSizeMB", &maximum));
    EXPECT_EQ(maximum, 50u);

    // The bytes are handed over as the peer takes them.
    auto upload = std::async(std::launch::async, [&] {
        std::string unanswered;
        return thread_->UploadFile(5, ".\\Rec\\ten.wav", "x", unanswered, false);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->substr(line->size() - 9), " 10485760");
    const std::optional<std::vector<uint8_t>> bytes = peer->ReadBytes(10u << 20);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(upload.get());

    SetDword("MaximumFileCacheSyncSizeMB", 5);
    EXPECT_FALSE(thread_->UploadFile(5, ".\\Rec\\ten.wav", "x", error, true));
    EXPECT_TRUE(LogContains("is bigger than the maximum configured in registry (5 MB)"));
}

TEST_F(FileSocketTest, AnExactMegabyteGoesWholeAfterItsLine) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    const std::string content = RandomBytes(1048576, 3);
    WriteFile(work_.path() / "Rec" / "mb.wav", content);
    std::string error;
    ASSERT_TRUE(thread_->UploadFile(6, ".\\Rec\\mb.wav", "t", error, false));
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->substr(line->size() - 8), " 1048576");
    const std::optional<std::vector<uint8_t>> bytes = peer->ReadBytes(content.size());
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(std::string(bytes->begin(), bytes->end()) == content);
    // Nothing more than the announced bytes.
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
}

// A connection socket that changes the file being uploaded right after its line went out.
class ShrinkingSocket : public COrvanthellaFileSocket {
public:
    ShrinkingSocket(std::shared_ptr<SocketReactor> reactor, COrvanthellaFileSocketThread* thread,
                    fs::path file, size_t newSize)
        : COrvanthellaFileSocket(std::move(reactor), thread),
          file_(std::move(file)),
          new_size_(newSize) {}

    bool SendUploadText(const std::string& text) override {
        const bool sent = COrvanthellaFileSocket::SendUploadText(text);
        fs::resize_file(file_, new_size_);
        return sent;
    }

private:
    fs::path file_;
    size_t new_size_;
};

class ChangedUploadTest : public FileSocketTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(ChangedUploadTest, TheAnnouncedSizeIsSentExactlyAndTheChangeIsAFailure) {
    const fs::path file = work_.path() / "Rec" / "grow.wav";
    const std::string content = RandomBytes(3000000, 4);
    WriteFile(file, content);
    const size_t newSize = GetParam();
    port_ = FreePort();
    thread_ = std::make_unique<COrvanthellaFileSocketThread>(
        node_.get(), port_,
        [&](std::shared_ptr<SocketReactor> reactor, COrvanthellaFileSocketThread* thread) {
            return std::make_shared<ShrinkingSocket>(std::move(reactor), thread, file, newSize);
        });
    thread_->SetCentralAddress("127.0.0.1");
    auto peer = FilePeer::Authorised(port_);
    auto upload = std::async(std::launch::async, [&] {
        std::string error;
        const bool ok = thread_->UploadFile(8, ".\\Rec\\grow.wav", "t", error, true);
        return std::make_pair(ok, error);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const std::optional<std::vector<uint8_t>> bytes = peer->ReadBytes(3000000);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(upload.get(), std::make_pair(false, std::string("File changed during FileSocket "
                                                              "transfer (.\\Rec\\grow.wav)")));
    EXPECT_TRUE(LogContains(
        "File .\\Rec\\grow.wav has different file size after FileSocket transfer: before "
        "size=3000000 , after size=" +
        std::to_string(newSize) + " "));
    const size_t kept = std::min<size_t>(newSize, 3000000);
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + static_cast<long>(kept)),
              content.substr(0, kept));
    EXPECT_TRUE(std::all_of(bytes->begin() + static_cast<long>(kept), bytes->end(),
                            [](uint8_t byte) { return byte == 0; }));
    // Then the next line, and nothing of the grown part.
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
}

INSTANTIATE_TEST_SUITE_P(ShrunkOrGrown, ChangedUploadTest, ::testing::Values(1000000, 4000000));

TEST_F(FileSocketTest, FilremReachesTheManagerOnlyForCentralPathsWhoseCopyIsInsideTheCache) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText("FILREM C\\VOX\\A.VOX\r");
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_TRUE(node_->RemovedFiles().empty());
    EXPECT_TRUE(LogContains("spVesmarin == NULL!"));

    PublishedFileCacheOwner().Publish(node_);
    // Central paths, drive or share, whose copies lie inside the cache.
    for (const std::string name :
         {"C\\VOX\\A.VOX", "..\\x.vox", "C:\\x.vox", "\\x.vox", "\\\\SRV\\SHARE\\A.VOX",
          "\\\\SRV\\..\\..\\x.vox", "C:\\VOX\\..\\..\\x.vox"}) {
        peer->SendText("FILREM " + name + "\r");
    }
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_EQ(node_->RemovedFiles(),
              (std::vector<std::string>{"C\\VOX\\A.VOX", "C:\\x.vox", "\\\\SRV\\SHARE\\A.VOX"}));
}

TEST_F(FileSocketTest, UnauthorisedConnectionIsRefusedTheFileCommands) {
    Start();
    PublishedFileCacheOwner().Publish(node_);
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText("FILREM C\\VOX\\A.VOX\r");
    peer.SendText("TXQRES 1 0 x 1\r");
    peer.SendText("TXFILE 1 1 0 .\\FileCache\\sneaked.vox 3\rabc");
    peer.SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_TRUE(node_->RemovedFiles().empty());
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache" / "sneaked.vox"));
    EXPECT_TRUE(LogContains("COrvanthellaFileSocket::OnCommandNotAllowed FILREM C\\VOX\\A.VOX"));
    EXPECT_TRUE(LogContains("COrvanthellaFileSocket::OnCommandNotAllowed TXFILE"));
}

TEST_F(FileSocketTest, AtTheLimitTheOldestConnectionButTheCentralServersMakesRoomLoggedOnce) {
    SetDword("Max Connections", 2);
    Start();
    auto central = FilePeer::Authorised(port_);
    FilePeer second(port_);
    ASSERT_TRUE(second.Handshake(false));
    ASSERT_TRUE(Eventually([&] { return thread_->SocketCount() == 2; }));

    // A newcomer, its handshake not even begun, pushes out the oldest connection that is not
    // authorised; an authorised one goes only when no other is left, the central server's never.
    FilePeer third(port_);
    EXPECT_TRUE(second.WaitClosed());
    auto fourth = FilePeer::Authorised(port_);
    ASSERT_TRUE(fourth);
    EXPECT_TRUE(third.WaitClosed());
    FilePeer fifth(port_);
    EXPECT_TRUE(fourth->WaitClosed());
    EXPECT_TRUE(thread_->HasCentralSocket());
    central->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(central->ReadLine(), "HEARTB 0 00000000010000000002");
    const std::string log = LogText();
    const std::string line = "closed to make room: 2 connections held already";
    const size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);

    // The central server coming back while strangers from elsewhere keep arriving: they push
    // out one another, never its new connection, which is authorised.
    Start();
    FilePeer returning(port_);
    ASSERT_TRUE(returning.Handshake(false));
    ASSERT_TRUE(Eventually([&] { return thread_->SocketCount() == 1; }));
    std::vector<testing::RawConnection> strangers;
    for (int stranger = 0; stranger < 3; ++stranger) {
        strangers.push_back(testing::RawConnection::ConnectFromAddress("127.0.0.2", port_));
        ASSERT_TRUE(strangers.back().valid());
    }
    EXPECT_TRUE(strangers[0].WaitClosed());
    EXPECT_TRUE(strangers[1].WaitClosed());
    returning.SendText("STARTS 2\r");
    EXPECT_EQ(returning.ReadLine(), "STARTS 1");
    EXPECT_TRUE(thread_->HasCentralSocket());

    // The central server's connection alone at the limit: the newcomer is turned away.
    SetDword("Max Connections", 1);
    Start();
    auto alone = FilePeer::Authorised(port_);
    FilePeer turned_away(port_);
    EXPECT_TRUE(turned_away.WaitClosed());
    EXPECT_TRUE(thread_->HasCentralSocket());
    EXPECT_TRUE(LogContains("turned away: 1 connections held already"));
}

TEST_F(FileSocketTest, AnUnauthorisedConnectionIdlePastItsTimeOutIsClosed) {
    platform::ManualClock clock(std::chrono::system_clock::now(), 1000);
    platform::ScopedClockOverride use_clock(clock);
    const auto idle = std::chrono::milliseconds(COrvanthellaFileSocketThread::kUnauthorisedIdleMs);
    Start();
    auto authorised = FilePeer::Authorised(port_);
    FilePeer talking(port_);
    ASSERT_TRUE(talking.Handshake(false));
    FilePeer silent(port_);
    ASSERT_TRUE(silent.Handshake(false));
    ASSERT_TRUE(Eventually([&] { return thread_->SocketCount() == 3; }));

    clock.Advance(idle / 2);
    talking.SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(talking.ReadLine(), "HEARTB 0 00000000010000000002");
    clock.Advance(idle / 2);
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_TRUE(Eventually([&] { return thread_->SocketCount() == 2; }));
    EXPECT_TRUE(LogContains("closed: not authorised and idle for 30000 ms"));

    // The one that spoke is closed a time-out after it last spoke; the authorised one stays.
    clock.Advance(idle);
    EXPECT_TRUE(talking.WaitClosed());
    EXPECT_TRUE(Eventually([&] { return thread_->SocketCount() == 1; }));
    EXPECT_TRUE(thread_->HasAuthorisedSocket());
}

TEST_F(FileSocketTest, ClosedConnectionsAreReportedAndFreed) {
    std::vector<std::weak_ptr<COrvanthellaFileSocket>> made;
    std::mutex madeLock;
    port_ = FreePort();
    thread_ = std::make_unique<COrvanthellaFileSocketThread>(
        node_.get(), port_,
        [&](std::shared_ptr<SocketReactor> reactor, COrvanthellaFileSocketThread* thread) {
            auto socket = std::make_shared<COrvanthellaFileSocket>(std::move(reactor), thread);
            std::lock_guard<std::mutex> guard(madeLock);
            made.push_back(socket);
            return socket;
        });
    auto peer = FilePeer::Authorised(port_);
    ASSERT_EQ(thread_->SocketCount(), 1u);
    peer.reset();
    EXPECT_TRUE(Eventually([&] { return thread_->SocketCount() == 0; }));
    EXPECT_EQ(node_->SocketCloseCount(), 1);
    EXPECT_FALSE(thread_->HasAuthorisedSocket());
    // The listener and the closed connection: only the listener is still there.
    std::lock_guard<std::mutex> guard(madeLock);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_FALSE(made[0].expired());
    EXPECT_TRUE(Eventually([&] { return made[1].expired(); }));
}

TEST_F(FileSocketTest, TxfileLongerThanTheMaximumIsReadPastAndLogged) {
    SetDword("MaximumFileCacheSyncSizeMB", 1);
    Start();
    auto peer = FilePeer::Authorised(port_);
    auto request = std::async(std::launch::async, [&] {
        std::string local = ".\\FileCache\\small.vox";
        return thread_->RequestFile("C:\\VOX\\SMALL.VOX", local);
    });
    const std::optional<std::string> line = peer->ReadLine();
    ASSERT_TRUE(line);
    const std::string id = line->substr(7, line->find(' ', 7) - 7);
    const std::string content = RandomBytes(1500000, 6);
    peer->SendText("TXFILE 5 1 0 .\\FileCache\\big.vox 1500000\r" + content);
    peer->SendText("TXFILE " + id + " 1 0 .\\FileCache\\small.vox 3\rabc");
    EXPECT_TRUE(request.get());
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache" / "big.vox"));
    EXPECT_EQ(ReadFile(work_.path() / "FileCache" / "small.vox"), "abc");
    EXPECT_TRUE(
        LogContains("COrvanthellaFileSocket::OnProcessCommandError TXFILE "
                    "5 1 0 .\\FileCache\\big.vox 1500000 Refused block length '1500000'"));
}

TEST_F(FileSocketTest, ListenerThatCannotOpenSaysSo) {
    testing::RawListener blocker;
    ASSERT_TRUE(blocker.valid());
    const int taken = static_cast<int>(blocker.port());
    thread_ = std::make_unique<COrvanthellaFileSocketThread>(node_.get(), taken);
    EXPECT_TRUE(Eventually([&] {
        return LogContains("Could not open socket port " + std::to_string(taken) +
                           " for File Socket Listener");
    }));
    EXPECT_FALSE(thread_->HasAuthorisedSocket());
    thread_.reset();
    blocker.Close();

    thread_ = std::make_unique<COrvanthellaFileSocketThread>(node_.get(), 0);
    EXPECT_TRUE(Eventually(
        [&] { return LogContains("Could not open socket port 0 for File Socket Listener"); }));
}

TEST_F(FileSocketTest, PortComesFromTheRegistryAndIsWrittenBackWhenMissing) {
    EXPECT_EQ(COrvanthellaFileSocketThread::ReadListenerPort(), 9071);
    uint32_t port = 0;
    EXPECT_TRUE(foundation::CRegistry("Pelwix").ReadDword("Local File Socket TCP port", &port));
    EXPECT_EQ(port, 9071u);
    SetDword("Local File Socket TCP port", 19071);
    EXPECT_EQ(COrvanthellaFileSocketThread::ReadListenerPort(), 19071);
}

TEST_F(FileSocketTest, StatisticsAreLoggedForAuthorisedConnections) {
    SetDword("FileCacheSyncUseCompression", 1);
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText("TXFILE 1 1 0 .\\FileCache\\s.vox 100000\r" + std::string(100000, 'z'));
    peer->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    thread_->LogStatistics();
    EXPECT_TRUE(LogContains("File Socket - Received (uncompressed): "));
    EXPECT_TRUE(LogContains("File Socket - Sent (uncompressed): "));
}

class UpdateTest : public FileSocketTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UpdateTest, OfferedNewerSetupIsRequestedReceivedAndHandedToTheUpdateService) {
    // The update service on 127.0.0.1:1919.
    testing::OneConnectionSink service(1919);
    if (!service.Listening()) {
        GTEST_SKIP() << "port 1919 is taken";
    }
    std::future<std::string> command = service.Received();
    SetDword("FileCacheSyncUseCompression", GetParam() ? 1 : 0);
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    thread_->SetUpdaterPauseMs(0);
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText(
        "STARTS 2 10.6.1.0 Setup\x0C"
        "10.6.1\r");
    EXPECT_EQ(peer.ReadLine(),
              "UPDATE 10.6.0.0 Setup\x0C"
              "10.6.1");
    EXPECT_FALSE(thread_->HasAuthorisedSocket());

    // Some megabytes: under compression, pieces that inflate to more than a connection that is
    // not authorised may send, yet asked for.
    const std::string program = RandomBytes(3000000, 5);
    peer.SendText("UPDATE Sobrink\x0CSetup 3000000\r");
    peer.SendText(program.substr(0, 100000));
    std::this_thread::sleep_for(20ms);
    peer.SendText(program.substr(100000) + "HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");

    ASSERT_EQ(command.wait_for(20s), std::future_status::ready);
    const std::string updater = temp_.path().string() + "/Pelwix/Sobrink.exe";
    const std::string session = std::to_string(platform::CurrentSessionId().value_or(0));
    EXPECT_EQ(command.get(), updater + "\fS\fD\fL\fSobrink Setup\f/sessionid:" + session +
                                 "/delete/wait/user:system/log\r" +
                                 platform::RunningProgramPath().string() +
                                 "\fU\fR\fL\f \f/sessionid:" + session + "\r");
    EXPECT_EQ(ReadFile(updater), program);

    // Once is enough: another push is not asked for and is read past.
    peer.SendText("UPDATE Again 5\rhelloHEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_EQ(ReadFile(updater), program);

    // The program's bytes were what the node asked for; a large piece after them is not.
    if (GetParam()) {
        peer.SendWire(DeflatedHeartbeats(peer, 4 << 20));
        EXPECT_TRUE(peer.WaitClosed());
        EXPECT_TRUE(LogContains("received bytes inflate to more than 262144"));
    }
}

INSTANTIATE_TEST_SUITE_P(Compression, UpdateTest, ::testing::Bool());

TEST_F(FileSocketTest, AskingForAnUpdateGrantsNothingBeforeItsProgramComes) {
    SetDword("FileCacheSyncUseCompression", 1);
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    ASSERT_TRUE(peer.Compressing());
    peer.SendText("STARTS 2 10.6.1.0 Setup\r");
    EXPECT_EQ(peer.ReadLine(), "UPDATE 10.6.0.0 Setup");
    // Lines, not the program: a stranger's pieces, a stranger's allowance of refused lines.
    peer.SendWire(DeflatedHeartbeats(peer, 4 << 20));
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_TRUE(LogContains("received bytes inflate to more than 262144"));
}

TEST_F(FileSocketTest, WhileACentralServerIsActiveOnlyItsMachineIsAskedForAnUpdate) {
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    // Another machine's central server is active: a peer from here is taken as any other,
    // but it hands the node no program.
    thread_->SetCentralAddress("192.0.2.7");
    {
        FilePeer peer(port_);
        ASSERT_TRUE(peer.Handshake(false));
        peer.SendText("STARTS 2 10.6.1.0 Setup\r");
        EXPECT_EQ(peer.ReadLine(), "STARTS 1");
        EXPECT_TRUE(LogContains("Setup 10.6.1.0 offered by 127.0.0.1:"));
        peer.SendText("UPDATE Sobrink 5\rhelloHEARTB 1 00000000010000000002\r");
        EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
        EXPECT_FALSE(fs::exists(temp_.path() / "Pelwix" / "Sobrink.exe"));
    }
    // This machine's central server is: its offer is asked for.
    thread_->SetCentralAddress("127.0.0.1");
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText("STARTS 2 10.6.1.0 Setup\r");
    EXPECT_EQ(peer.ReadLine(), "UPDATE 10.6.0.0 Setup");
}

TEST_F(FileSocketTest, AnUpdateLongerThanAFileMayBeIsReadPastAndNotRun) {
    SetDword("MaximumFileCacheSyncSizeMB", 1);
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText("STARTS 2 10.6.1.0 Setup\r");
    EXPECT_EQ(peer.ReadLine(), "UPDATE 10.6.0.0 Setup");
    peer.SendText("UPDATE Sobrink 2000000\r" + RandomBytes(2000000, 3) +
                  "HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_TRUE(
        LogContains("Update Sobrink refused: 2000000 bytes, more than the 1048576 a file "
                    "may have"));
    EXPECT_FALSE(fs::exists(temp_.path() / "Pelwix" / "Sobrink.exe"));
}

TEST_F(FileSocketTest, OlderOrDifferentlyShapedSetupsAreNotRequested) {
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    for (const std::string offered : {"10.5.9.9", "10.6.1", "10.6.0.0"}) {
        FilePeer peer(port_);
        ASSERT_TRUE(peer.Handshake(false));
        peer.SendText("STARTS 2 " + offered + " Setup\r");
        EXPECT_EQ(peer.ReadLine(), "STARTS 1") << offered;
    }
    // A peer that may not be authorised is not asked for an update either.
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText("STARTS 3 10.6.1.0 Setup\r");
    EXPECT_EQ(peer.ReadLine(), "STARTS 0");
}

TEST_F(FileSocketTest, UpdateIsWrittenNewIntoAPrivateFolderNeverThroughALink) {
    testing::OneConnectionSink service(1919);
    if (!service.Listening()) {
        GTEST_SKIP() << "port 1919 is taken";
    }
    std::future<std::string> command = service.Received();
    fs::create_directory(temp_.path() / "elsewhere");
    fs::create_directory_symlink(temp_.path() / "elsewhere", temp_.path() / "Pelwix");
    foundation::CRegistry("Pelwix").WriteString("LatestInstalledSetup", "10.6.0.0");
    Start();
    thread_->SetUpdaterPauseMs(0);
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    peer.SendText("STARTS 2 10.6.1.0 Setup\r");
    EXPECT_EQ(peer.ReadLine(), "UPDATE 10.6.0.0 Setup");
    peer.SendText("UPDATE Sobrink 5\rhello");

    ASSERT_EQ(command.wait_for(20s), std::future_status::ready);
    const std::string text = command.get();
    const fs::path updater = text.substr(0, text.find('\f'));
    EXPECT_EQ(updater.string().rfind(temp_.path().string() + "/Pelwix.", 0), 0u) << updater;
    EXPECT_EQ(ReadFile(updater), "hello");
    EXPECT_EQ(fs::symlink_status(updater.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(temp_.path() / "elsewhere"));
}

TEST_F(FileSocketTest, PushedUpdateThatWasNotAskedForIsReadPastAndNotRun) {
    Start();
    auto peer = FilePeer::Authorised(port_);
    peer->SendText("UPDATE Sobrink 5\rhelloHEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_FALSE(fs::exists(temp_.path() / "Pelwix" / "Sobrink.exe"));
    EXPECT_TRUE(LogContains("Update Sobrink refused: no update was requested on this connection"));
    peer->SendText("UPDATE Sobrink 0\rHEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer->ReadLine(), "HEARTB 0 00000000010000000002");
    EXPECT_TRUE(LogContains("An unexpected error occurred while retrieving the update."));
}

}  // namespace
}  // namespace ruzd::net::filetest
