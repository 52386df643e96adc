// The active central server of a node under a flood of strangers from the same machine: on each
// of the node's two ports and on the peer port of the watchdog beside it, round after round,
// 1,000 connections that never say a word and 10 MB of garbage (random bytes, and commands the
// node must refuse: frames of unknown commands and of commands only the active central server
// may send on the command port, lines of unknown commands after the public handshake on the
// file port). Meanwhile the central server's
// keep-alive (CNPING) and a file fetch (a voice file the node does not hold, which it asks for
// with REQFIL on the file connection and which the central server sends back with TXFILE,
// until message 9 answers the open) are timed, the node's debug folder is held against its
// bound and a watchdog beside the node counts down. The same session without the flood is the
// floor.
//
// The node program is the release build on the simulated boards, with the descriptor limit a
// service gets (1024). The flood is kept up for longer than the watchdog's countdown, so that
// at least one heartbeat must cross it.
//
// Beside it, strangers that the node cannot tell from a central server by what they send: 28
// connections, each from a loopback address of its own, sending valid commands (keep-alives,
// opens of a voice channel, unknown codes) as fast as the node takes them. The central server's
// session is timed while they send before any CNINIT, then its keep-alives for 10 s beside
// them and for 10 s after they have gone, on the same node: the latter are the floor.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/latencies.h"
#include "bench/ratio_reporter.h"
#include "foundation/crc32.h"
#include "foundation/registry.h"
#include "net/callback_output_stream.h"
#include "node/central_message_code.h"
#include "node/command_codes.h"
#include "platform/text.h"
#include "platform/window_message.h"
#include "testing/busy_strangers.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/node_on_boards.h"
#include "testing/os_for_tests.h"
#include "testing/random_bytes.h"
#include "testing/stranger_flood.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "testing/wire_codes.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using ruzd::bench::Latencies;
using ruzd::testing::Code;
using ruzd::testing::NodeOnBoards;
using ruzd::testing::RandomBytes;
using ruzd::testing::RawConnection;
using ruzd::testing::StrangerFlood;

constexpr int32_t kCNSTRT = Code(ruzd::node::CommandCode::kCNSTRT);
constexpr int32_t kCNPING = Code(ruzd::node::CommandCode::kCNPING);
constexpr int32_t kDXFOPE = Code(ruzd::node::CommandCode::kDXFOPE);
constexpr int32_t kDXFCLO = Code(ruzd::node::CommandCode::kDXFCLO);
constexpr int32_t kPingEcho = Code(ruzd::node::CentralMessageCode::kPingEcho);
constexpr int32_t kFileOpenResult = Code(ruzd::node::CentralMessageCode::kFileOpenResult);
constexpr int32_t kNoSuchCommand = 30000;
constexpr int32_t kReadBinary = 0x8000;

// The flood on each port.
constexpr size_t kStrangersPerPort = 1000;
constexpr uint64_t kGarbagePerPort = uint64_t{10} << 20;
constexpr uint64_t kGarbagePerConnection = uint64_t{1} << 20;
constexpr size_t kGarbagePiece = size_t{64} << 10;
// A stranger's send that the node leaves waiting this long is given up.
constexpr auto kSendPatience = std::chrono::seconds(1);

// The session: a keep-alive and a fetch every kPace, for kPhase.
constexpr auto kPhase = std::chrono::seconds(40);
constexpr auto kPace = std::chrono::milliseconds(20);
constexpr size_t kVoiceFileSize = 4096;
constexpr uint32_t kDebugFolderMaxMB = 4;
constexpr int kServiceDescriptors = 1024;
// The watchdog's shortest countdown, in seconds; the node's heartbeat comes every 20.
constexpr int kWatchdogCountdown = 31;

// The strangers that send valid commands, and their phases.
constexpr size_t kBusyStrangers = 28;
constexpr auto kBusyPhase = std::chrono::seconds(10);
constexpr auto kBusyPace = std::chrono::milliseconds(5);

// --- The flood ---

// Whole frames of the command port: unknown commands, and CNSTRT, which only the active
// central server may send.
std::vector<uint8_t> RefusedFrames(size_t count) {
    std::vector<uint8_t> frames;
    ruzd::net::CCallbackOutputStream writer(
        [&](const uint8_t* bytes, int length, const std::string&, unsigned) {
            frames.insert(frames.end(), bytes, bytes + length);
        });
    for (int32_t id = 0; frames.size() < count; ++id) {
        writer.BeginMessage(id % 2 == 0 ? kNoSuchCommand : kCNSTRT).WriteInt(id);
        writer.Flush();
    }
    return frames;
}

// Lines of the file port that name no command.
std::vector<uint8_t> UnknownLines(size_t count) {
    const std::string line = "NOSUCH " + std::string(200, 'A') + "\r";
    std::vector<uint8_t> lines;
    while (lines.size() < count) {
        lines.insert(lines.end(), line.begin(), line.end());
    }
    return lines;
}

// Sends `piece` again and again, up to `budget` bytes, until a send fails; the bytes sent.
uint64_t SendPieces(const std::function<bool(const uint8_t*, size_t)>& send,
                    const std::vector<uint8_t>& piece, uint64_t budget,
                    const std::atomic<bool>& stop) {
    uint64_t sent = 0;
    while (sent < budget && !stop.load()) {
        const auto length = static_cast<size_t>(std::min<uint64_t>(piece.size(), budget - sent));
        if (!send(piece.data(), length)) {
            break;
        }
        sent += length;
    }
    return sent;
}

uint64_t SendPieces(RawConnection& connection, const std::vector<uint8_t>& piece, uint64_t budget,
                    const std::atomic<bool>& stop) {
    if (!connection.valid()) {
        return 0;
    }
    return SendPieces(
        [&](const uint8_t* data, size_t length) { return connection.SendAll(data, length); }, piece,
        budget, stop);
}

RawConnection StrangerConnection(unsigned port) {
    RawConnection connection = RawConnection::Connect(port);
    if (connection.valid()) {
        connection.SetSendPatience(kSendPatience);
    }
    return connection;
}

// One stranger's connection to the command port that sends up to `budget` bytes: random bytes
// on every other connection, refused frames on the rest.
uint64_t CommandPortGarbage(unsigned port, size_t index, uint64_t budget,
                            const std::atomic<bool>& stop) {
    static const std::vector<uint8_t> random = RandomBytes(kGarbagePiece, 70);
    static const std::vector<uint8_t> frames = RefusedFrames(kGarbagePiece);
    RawConnection connection = StrangerConnection(port);
    return SendPieces(connection, index % 2 == 0 ? random : frames, budget, stop);
}

// Random bytes on the watchdog's peer port.
uint64_t PeerPortGarbage(unsigned port, size_t /*index*/, uint64_t budget,
                         const std::atomic<bool>& stop) {
    static const std::vector<uint8_t> random = RandomBytes(kGarbagePiece, 73);
    RawConnection connection = StrangerConnection(port);
    return SendPieces(connection, random, budget, stop);
}

// The same on the file port: random bytes, or the handshake (whose password everybody knows)
// and lines that name no command.
uint64_t FilePortGarbage(unsigned port, size_t index, uint64_t budget,
                         const std::atomic<bool>& stop) {
    static const std::vector<uint8_t> random = RandomBytes(kGarbagePiece, 71);
    static const std::vector<uint8_t> lines = UnknownLines(kGarbagePiece);
    RawConnection connection = StrangerConnection(port);
    if (index % 2 == 0 || !connection.valid()) {
        return SendPieces(connection, random, budget, stop);
    }
    ruzd::testing::FilePeer peer(std::move(connection));
    // The peer throws when the node has closed the connection.
    const auto send = [&](const uint8_t* data, size_t length) {
        try {
            peer.SendBytes(data, length);
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    };
    try {
        if (!peer.Handshake(false)) {
            return 0;
        }
    } catch (const std::runtime_error&) {
        return 0;
    }
    return SendPieces(send, lines, budget, stop);
}

// The rounds of kStrangersPerPort connections and kGarbagePerPort bytes a flood did.
double Rounds(const ruzd::testing::StrangerFlood& flood) {
    return std::min(static_cast<double>(flood.SilentConnections()) / kStrangersPerPort,
                    static_cast<double>(flood.GarbageBytes()) / kGarbagePerPort);
}

// --- What is watched meanwhile ---

uint64_t FolderBytes(const fs::path& folder) {
    uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        std::error_code ignored;
        const uintmax_t size = entry.file_size(ignored);
        total += ignored ? 0 : size;
    }
    return total;
}

// The debug folder's largest size and the watchdog's lowest countdown, looked at every 100 ms
// on a thread of its own.
class Watcher {
public:
    Watcher(fs::path debug_folder, ruzd::platform::WindowHandle watchdog)
        : debug_folder_(std::move(debug_folder)),
          watchdog_(std::move(watchdog)),
          thread_([this] { Run(); }) {}
    ~Watcher() {
        stop_.store(true);
        thread_.join();
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    uint64_t LargestFolderBytes() const { return largest_folder_bytes_.load(); }
    int LowestCountdown() const { return lowest_countdown_.load(); }

private:
    void Run() {
        while (!stop_.load()) {
            largest_folder_bytes_.store(
                std::max(largest_folder_bytes_.load(), FolderBytes(debug_folder_)));
            if (const std::optional<int> countdown = ruzd::testing::CountdownOf(watchdog_)) {
                lowest_countdown_.store(std::min(lowest_countdown_.load(), *countdown));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    const fs::path debug_folder_;
    const ruzd::platform::WindowHandle watchdog_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> largest_folder_bytes_{0};
    std::atomic<int> lowest_countdown_{kWatchdogCountdown};
    std::thread thread_;
};

// --- The central server ---

// A keep-alive's round trip; false when it was not answered.
bool TimedPing(NodeOnBoards& node, Latencies& latencies) {
    const Clock::time_point begin = Clock::now();
    node.peer().SendInts(kCNPING, node.NextId(), {7});
    if (!node.peer().ReceiveCode(kPingEcho)) {
        return false;
    }
    latencies.Add(Clock::now() - begin);
    return true;
}

// A voice file the node does not hold, opened under `handle`: from the open to its answer, with
// the request and the transfer on the file connection between them. The file is closed after.
bool TimedFetch(NodeOnBoards& node, uint32_t handle, Latencies& latencies) {
    static const std::vector<uint8_t> content = RandomBytes(kVoiceFileSize, 72);
    // The file's own size and CRC-32, as a central server with a sound record names them: the
    // node compares what arrives with them and logs a warning for a copy unlike them.
    static const uint32_t crc = ruzd::foundation::GetBufferCrc32(content.data(), content.size());
    const std::string name = ruzd::platform::Format("C:\\VOX\\F%06u.VOX", handle);
    const Clock::time_point begin = Clock::now();
    node.peer().Send(kDXFOPE, node.NextId(), [&](ruzd::net::COutputStreamSocket& writer) {
        writer.WriteUInt(handle).WriteString(name).WriteInt(kReadBinary).WriteInt(0x180);
        writer.WriteUInt(static_cast<uint32_t>(content.size())).WriteUInt(crc);
    });
    // "REQFIL <id> <central name> <local path>"
    const std::optional<std::string> request = node.files().ReadLine();
    if (!request || request->rfind("REQFIL ", 0) != 0) {
        std::fprintf(stderr, "no REQFIL for %s: %s\n", name.c_str(),
                     request.value_or("nothing").c_str());
        return false;
    }
    const size_t id_end = request->find(' ', 7);
    const std::string id = request->substr(7, id_end - 7);
    const std::string local = request->substr(request->rfind(' ') + 1);
    // The line and the file in one send, as a central server writes them.
    const std::string line =
        "TXFILE " + id + " 1 0 " + local + " " + std::to_string(content.size()) + "\r";
    std::vector<uint8_t> answer(line.begin(), line.end());
    answer.insert(answer.end(), content.begin(), content.end());
    node.files().SendBytes(answer);
    const std::optional<ruzd::testing::Payload> opened = node.peer().ReceiveCode(kFileOpenResult);
    const std::vector<int32_t> result =
        opened ? ruzd::testing::LeadingInts(*opened, 3) : std::vector<int32_t>{};
    if (result != std::vector<int32_t>{kFileOpenResult, static_cast<int32_t>(handle),
                                       static_cast<int32_t>(content.size())}) {
        std::fprintf(stderr, "the fetch of %s was not answered with its size\n", name.c_str());
        return false;
    }
    latencies.Add(Clock::now() - begin);
    node.peer().Send(kDXFCLO, node.NextId(), [&](ruzd::net::COutputStreamSocket& writer) {
        writer.WriteUInt(handle).WriteLong(0);
    });
    return true;
}

// Keep-alives of the active connection every kBusyPace for kBusyPhase; false when one was not
// answered.
bool TimedPings(NodeOnBoards& node, Latencies& latencies) {
    const Clock::time_point start = Clock::now();
    for (Clock::time_point next = start; Clock::now() - start < kBusyPhase;
         next = std::max(next + kBusyPace, Clock::now())) {
        std::this_thread::sleep_until(next);
        if (!TimedPing(node, latencies)) {
            return false;
        }
    }
    return true;
}

// --- The benchmarks ---

// The session of the active central server for kPhase, with the strangers' flood kept up the
// whole time (1) or without it (0).
void BM_ActiveCentralUnderFlood(benchmark::State& state) {
    const bool flood = state.range(0) != 0;
    if (!ruzd::testing::RaiseDescriptorLimit(4 * kStrangersPerPort + 1024)) {
        state.SkipWithError("the descriptor limit cannot be raised for the strangers");
        return;
    }
    ruzd::testing::TempDir watchdog_folder;
    // The watchdog listens for a peer machine's watchdog, which this machine does not have: its
    // remote countdown runs out as it would without the strangers.
    const uint16_t peer_port = ruzd::testing::FreePort();
    std::unique_ptr<ruzd::testing::TormbelProcess> watchdog;
    NodeOnBoards::Setup setup;
    setup.max_open_files = kServiceDescriptors;
    setup.prepare = [&](const fs::path& root) {
        ruzd::foundation::CRegistry("Pelwix").WriteDword("Debug Folder Max MB", kDebugFolderMaxMB);
        watchdog = std::make_unique<ruzd::testing::TormbelProcess>(
            root, watchdog_folder.path(),
            std::vector<std::string>{
                "-I" + std::to_string(kWatchdogCountdown), "-U", "-Ctrue", "-A127.0.0.1",
                "-O" + std::to_string(ruzd::testing::FreePort()), "-Q" + std::to_string(peer_port)},
            std::vector<std::string>{}, fs::path{}, kServiceDescriptors);
    };
    NodeOnBoards node("network 1 30\nip 0 0\n", {"-d", "-w1"}, setup);
    if (!node.ready() || !node.StartSession()) {
        state.SkipWithError("the node did not start its session");
        return;
    }
    if (!node.process().WaitForLog("(Tormbel is running and active)")) {
        state.SkipWithError("the node did not find the watchdog");
        return;
    }
    const ruzd::platform::WindowHandle window = ruzd::platform::FindWindow("Tormbel");

    Latencies pings;
    Latencies fetches;
    for (auto _ : state) {
        Watcher watcher(node.folder() / "debug", window);
        std::unique_ptr<StrangerFlood> on_commands;
        std::unique_ptr<StrangerFlood> on_files;
        std::unique_ptr<StrangerFlood> on_peers;
        if (flood) {
            on_commands = std::make_unique<StrangerFlood>(
                node.command_port(), kStrangersPerPort, CommandPortGarbage, kGarbagePerConnection);
            on_files = std::make_unique<StrangerFlood>(node.file_port(), kStrangersPerPort,
                                                       FilePortGarbage, kGarbagePerConnection);
            on_peers = std::make_unique<StrangerFlood>(peer_port, kStrangersPerPort,
                                                       PeerPortGarbage, kGarbagePerConnection);
        }
        const Clock::time_point start = Clock::now();
        uint32_t handle = 1;
        for (Clock::time_point next = start; Clock::now() - start < kPhase;
             next = std::max(next + kPace, Clock::now())) {
            std::this_thread::sleep_until(next);
            if (!TimedPing(node, pings) || !TimedFetch(node, handle++, fetches)) {
                state.SkipWithError("the central server's keep-alive or fetch was not answered");
                return;
            }
        }
        if (flood) {
            state.counters["flood_rounds"] =
                std::min({Rounds(*on_commands), Rounds(*on_files), Rounds(*on_peers)});
            state.counters["command_port_strangers"] =
                static_cast<double>(on_commands->SilentConnections());
            state.counters["file_port_strangers"] =
                static_cast<double>(on_files->SilentConnections());
            state.counters["command_port_garbage_mb"] =
                static_cast<double>(on_commands->GarbageBytes()) / (1 << 20);
            state.counters["file_port_garbage_mb"] =
                static_cast<double>(on_files->GarbageBytes()) / (1 << 20);
            state.counters["peer_port_strangers"] =
                static_cast<double>(on_peers->SilentConnections());
            state.counters["peer_port_garbage_mb"] =
                static_cast<double>(on_peers->GarbageBytes()) / (1 << 20);
        }
        on_commands.reset();
        on_files.reset();
        on_peers.reset();
        // In KB: a folder trimmed at its bound is a hair under it.
        state.counters["debug_folder_peak_kb"] =
            static_cast<double>(watcher.LargestFolderBytes()) / 1024;
        state.counters["watchdog_lowest_countdown_s"] = watcher.LowestCountdown();
    }
    // The node still serves its central server once the strangers are gone.
    if (!node.Ping()) {
        state.SkipWithError("the node no longer answers");
        return;
    }
    const std::string watchdog_log = watchdog->Log();
    watchdog.reset();
    pings.Report(state, "ping_");
    fetches.Report(state, "fetch_");
    state.counters["watchdog_local_timeouts"] =
        static_cast<double>(ruzd::testing::CountOf(watchdog_log, "LOCAL TIMEOUT"));
    state.counters["watchdog_remote_timeouts"] =
        static_cast<double>(ruzd::testing::CountOf(watchdog_log, "REMOTE TIMEOUT"));
}
BENCHMARK(BM_ActiveCentralUnderFlood)
    ->ArgName("flood")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// The central server's session begun while kBusyStrangers send valid commands, its keep-alives
// beside them, and its keep-alives once they have gone.
void BM_CentralBesideBusyStrangers(benchmark::State& state) {
    NodeOnBoards node("voice 1 4\nip 0 0\n", {"-d", "-w1"});
    if (!node.ready()) {
        state.SkipWithError("the node does not accept commands");
        return;
    }
    Latencies beside;
    Latencies alone;
    for (auto _ : state) {
        auto strangers = std::make_unique<ruzd::testing::BusyStrangers>(
            node.command_port(), kBusyStrangers, ruzd::testing::ValidCommandFrames());
        const Clock::time_point wait_end = Clock::now() + std::chrono::seconds(10);
        while (strangers->Sending() < kBusyStrangers && Clock::now() < wait_end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (strangers->Sending() < kBusyStrangers) {
            state.SkipWithError("the strangers did not all get to send");
            return;
        }
        const Clock::time_point begin = Clock::now();
        if (!node.StartSession()) {
            state.SkipWithError("the central server's session did not complete");
            return;
        }
        state.counters["session_ms"] =
            std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        const uint64_t sent = strangers->SentBytes();
        if (!TimedPings(node, beside)) {
            state.SkipWithError("a keep-alive beside the strangers was not answered");
            return;
        }
        state.counters["stranger_mb_per_s"] = static_cast<double>(strangers->SentBytes() - sent) /
                                              (1 << 20) /
                                              std::chrono::duration<double>(kBusyPhase).count();
        strangers.reset();
        if (!TimedPings(node, alone)) {
            state.SkipWithError("a keep-alive without the strangers was not answered");
            return;
        }
    }
    beside.Report(state, "beside_");
    alone.Report(state, "alone_");
    state.counters["p99_rise_ms"] =
        state.counters["beside_p99_ms"].value - state.counters["alone_p99_ms"].value;
}
BENCHMARK(BM_CentralBesideBusyStrangers)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    using ruzd::bench::Figure;
    const std::string quiet = "BM_ActiveCentralUnderFlood/flood:0/iterations:1/real_time";
    const std::string flooded = "BM_ActiveCentralUnderFlood/flood:1/iterations:1/real_time";
    const std::string busy = "BM_CentralBesideBusyStrangers/iterations:1/real_time";
    const double bound = kDebugFolderMaxMB * 1024.0;
    return ruzd::bench::RunWithRatios(
        argc, argv, {},
        {{"active central's CNPING, no strangers, p50", quiet, "ping_p50_ms", "ms"},
         {"active central's CNPING, no strangers, p99", quiet, "ping_p99_ms", "ms", 100},
         {"active central's file fetch, no strangers, p50", quiet, "fetch_p50_ms", "ms"},
         {"active central's file fetch, no strangers, p99", quiet, "fetch_p99_ms", "ms", 100},
         {"active central's CNPING under a flood of strangers, p50", flooded, "ping_p50_ms", "ms"},
         {"active central's CNPING under a flood of strangers, p99", flooded, "ping_p99_ms", "ms",
          100},
         {"active central's file fetch under a flood of strangers, p50", flooded, "fetch_p50_ms",
          "ms"},
         {"active central's file fetch under a flood of strangers, p99", flooded, "fetch_p99_ms",
          "ms", 100},
         {"rounds of the flood (1,000 connections and 10 MB on each of the three ports)", flooded,
          "flood_rounds", ""},
         {"debug folder at its largest under the flood", flooded, "debug_folder_peak_kb", "KB",
          bound},
         {"watchdog's lowest countdown under the flood", flooded, "watchdog_lowest_countdown_s",
          "s"},
         {"watchdog's local time-outs (the node's heartbeat lost), no strangers", quiet,
          "watchdog_local_timeouts", "", 1},
         {"watchdog's local time-outs (the node's heartbeat lost) under the flood", flooded,
          "watchdog_local_timeouts", "", 1},
         {"watchdog's remote time-outs (no peer machine), no strangers", quiet,
          "watchdog_remote_timeouts", ""},
         {"watchdog's remote time-outs (no peer machine) under the flood", flooded,
          "watchdog_remote_timeouts", ""},
         {"central's session before any CNINIT beside 28 strangers sending valid commands", busy,
          "session_ms", "ms", 1000},
         {"active central's CNPING without the strangers, p99", busy, "alone_p99_ms", "ms"},
         {"active central's CNPING under a flood of valid frames (28 strangers), p99", busy,
          "beside_p99_ms", "ms"},
         {"central's CNPING p99 under a flood of valid frames, over its p99 without it", busy,
          "p99_rise_ms", "ms", 10},
         {"valid frames the 28 strangers got the node to take", busy, "stranger_mb_per_s",
          "MB/s"}});
}
