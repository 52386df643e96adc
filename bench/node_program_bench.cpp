// The node program on the simulated boards, measured from outside through its command port by a
// central server of the bench's own: how soon an incoming call's event reaches the server, how
// fast the node answers keep-alives when it has one processor, and how soon it answers on a new
// connection once the active one closed. Each figure has its floor in the same run: one
// loopback message relayed through a thread hop, and a plain blocking echo server on the same
// one processor.

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/ratio_reporter.h"
#include "net/callback_output_stream.h"
#include "node/central_message_code.h"
#include "node/command_codes.h"
#include "platform/sntp_client.h"
#include "telephony/vendorapi/isdn.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/node_ports.h"
#include "testing/node_program.h"
#include "testing/scoped_environment.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace {

using Clock = std::chrono::steady_clock;
using ruzd::testing::CommandPeer;
using ruzd::testing::RawConnection;

// The codes as the central server sends and reads them.
constexpr int32_t Code(ruzd::node::CommandCode code) {
    return static_cast<int32_t>(code);
}
constexpr int32_t Code(ruzd::node::CentralMessageCode code) {
    return static_cast<int32_t>(code);
}
constexpr int32_t kCCDRCA = Code(ruzd::node::CommandCode::kCCDRCA);
constexpr int32_t kCNPING = Code(ruzd::node::CommandCode::kCNPING);
constexpr int32_t kCNSTRT = Code(ruzd::node::CommandCode::kCNSTRT);
constexpr int32_t kCCOPEN = Code(ruzd::node::CommandCode::kCCOPEN);
constexpr int32_t kCCRLCA = Code(ruzd::node::CommandCode::kCCRLCA);
constexpr int32_t kCCWCAL = Code(ruzd::node::CommandCode::kCCWCAL);
constexpr int32_t kDeviceEvent = Code(ruzd::node::CentralMessageCode::kDeviceEvent);
constexpr int32_t kPingEcho = Code(ruzd::node::CentralMessageCode::kPingEcho);
constexpr int32_t kInitReply = Code(ruzd::node::CentralMessageCode::kInitReply);
constexpr int32_t kAsync = 0x8000;
constexpr int32_t kSlotsPerSpan = 30;

constexpr int kCalls = 500;
constexpr int kReconnects = 50;
constexpr int kPings = 20000;
constexpr auto kEventPatience = std::chrono::seconds(5);

// --- Processors ---

// The processor the node (or its floor, the plain echo server) is given alone, and the one of
// the bench's client: the last two of the machine.
int ServerCpu() {
    return std::max(0, static_cast<int>(std::thread::hardware_concurrency()) - 1);
}
int ClientCpu() {
    return std::max(0, ServerCpu() - 1);
}

// Ties the calling thread to one processor while it lives, and with it the programs the thread
// starts meanwhile (they inherit it, as with taskset).
class PinnedThread {
public:
    explicit PinnedThread(int cpu) {
        pthread_getaffinity_np(pthread_self(), sizeof before_, &before_);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pthread_setaffinity_np(pthread_self(), sizeof one, &one);
    }
    ~PinnedThread() { pthread_setaffinity_np(pthread_self(), sizeof before_, &before_); }
    PinnedThread(const PinnedThread&) = delete;
    PinnedThread& operator=(const PinnedThread&) = delete;

private:
    cpu_set_t before_{};
};

// --- Figures ---

// Latencies in milliseconds, reported as their median and 99th percentile.
class Latencies {
public:
    void Add(Clock::duration latency) {
        ms_.push_back(std::chrono::duration<double, std::milli>(latency).count());
    }
    void Report(benchmark::State& state) {
        if (ms_.empty()) {
            return;
        }
        std::sort(ms_.begin(), ms_.end());
        const auto at = [&](double share) {
            const size_t rank = static_cast<size_t>(share * static_cast<double>(ms_.size()));
            return ms_[std::min(ms_.size() - 1, rank == 0 ? 0 : rank - 1)];
        };
        state.counters["p50_ms"] = at(0.5);
        state.counters["p99_ms"] = at(0.99);
        state.counters["max_ms"] = ms_.back();
        state.SetItemsProcessed(static_cast<int64_t>(ms_.size()));
    }

private:
    std::vector<double> ms_;
};

// One whole frame of the command port, as the stream writer makes it.
std::vector<uint8_t> Frame(int32_t code, const std::vector<int32_t>& values) {
    std::vector<uint8_t> frame;
    ruzd::net::CCallbackOutputStream writer([&](const uint8_t* bytes, int length,
                                                const std::string&,
                                                unsigned) { frame.assign(bytes, bytes + length); });
    writer.BeginMessage(code);
    for (int32_t value : values) {
        writer.WriteInt(value);
    }
    writer.Flush();
    return frame;
}

// --- The node ---

// The node program on the simulated boards in a platform root of its own, without the boards'
// journal (a real library keeps none), and a central server's command connection to it once
// the node accepts commands.
class NodeOnBoards {
public:
    NodeOnBoards(const std::string& boards, std::vector<std::string> arguments) {
        environment_.Unset("BOARDSIM_JOURNAL");
        environment_.Set(ruzd::platform::kSntpPortVariable, std::to_string(time_server_.port()));
        boards_.WriteConfig(boards);
        // Headless, as a node without a window runs.
        arguments.insert(arguments.begin(), "-debug");
        node_ = std::make_unique<ruzd::testing::NodeProcess>(root_.path(), work_.path() / "node",
                                                             std::move(arguments));
        peer_ = std::make_unique<CommandPeer>(command_port_, [this] { return node_->HasEnded(); });
        ready_ = peer_->IsConnected() &&
                 peer_->AwaitCommandsAccepted([this] { return node_->HasEnded(); });
        if (!ready_) {
            std::fprintf(stderr, "the node does not accept commands: %s\n",
                         node_->Stderr().c_str());
        }
    }

    bool ready() const { return ready_; }
    unsigned command_port() const { return command_port_; }
    CommandPeer& peer() { return *peer_; }
    std::string Control(const std::string& command) { return boards_.Control(command); }

    // The active connection's session as a central server starts it: the file connection
    // authorised (once), CNINIT answered, the workers started and a keep-alive answered.
    bool StartSession() {
        if (!files_ && !(files_ = ruzd::testing::FilePeer::Authorised(file_port_))) {
            std::fprintf(stderr, "the file connection was not authorised\n");
            return false;
        }
        peer_->SendInit(NextId());
        if (!peer_->ReceiveCode(kInitReply)) {
            std::fprintf(stderr, "CNINIT was not answered: %s\n", node_->Stderr().c_str());
            return false;
        }
        peer_->SendInts(kCNSTRT, NextId(), {});
        if (!Ping()) {
            std::fprintf(stderr, "no keep-alive answered after CNSTRT: %s\n",
                         node_->Stderr().c_str());
            return false;
        }
        return true;
    }

    // A keep-alive, answered once everything sent before it has run.
    bool Ping() {
        peer_->SendInts(kCNPING, NextId(), {7});
        return peer_->ReceiveCode(kPingEcho).has_value();
    }

    // The active connection closed and a new one made; the new one is not yet the active one.
    void Reconnect() {
        peer_.reset();
        peer_ = std::make_unique<CommandPeer>(command_port_);
    }

    int32_t NextId() { return next_id_++; }

private:
    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    ruzd::testing::SimulatedBoards boards_;
    ruzd::testing::ScopedEnvironment environment_;
    ruzd::testing::SntpTestServer time_server_;
    const uint32_t command_port_ = ruzd::testing::WriteCommandPort();
    const uint32_t file_port_ = ruzd::testing::WriteFilePort();
    const uint32_t gui_port_ = ruzd::testing::WriteGuiPort();
    std::unique_ptr<ruzd::testing::NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<ruzd::testing::FilePeer> files_;
    bool ready_ = false;
    int32_t next_id_ = 1;
};

// Device events until one with `code` came; false when none came in time.
bool AwaitDeviceEvent(CommandPeer& peer, int32_t code) {
    for (;;) {
        const std::optional<ruzd::testing::Payload> event =
            peer.ReceiveCode(kDeviceEvent, kEventPatience);
        if (!event) {
            return false;
        }
        const std::vector<int32_t> fields = ruzd::testing::LeadingInts(*event, 5);
        if (fields.size() == 5 && fields[4] == code) {
            return true;
        }
    }
}

std::string LineDevice(int32_t ldev) {
    return "dtiB" + std::to_string((ldev - 1) / kSlotsPerSpan + 1) + "T" +
           std::to_string((ldev - 1) % kSlotsPerSpan + 1);
}

// --- Event latency ---

// The floor: a thread wakes another, which sends one small message on a loopback connection
// to the client that waits for it.
void BM_ThreadHopRelay(benchmark::State& state) {
    ruzd::testing::RawListener listener;
    RawConnection client = RawConnection::Connect(listener.port());
    RawConnection server = listener.Accept();
    server.SendAtOnce();
    const std::vector<uint8_t> frame = Frame(kDeviceEvent, {1, 3, 2, CCEV_OFFERED, 4097});
    std::mutex mutex;
    std::condition_variable wake;
    int owed = 0;
    bool done = false;
    std::thread relay([&] {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return owed > 0 || done; });
            if (done) {
                return;
            }
            --owed;
            lock.unlock();
            server.SendAll(frame);
            lock.lock();
        }
    });
    Latencies latencies;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        {
            std::lock_guard lock(mutex);
            ++owed;
        }
        wake.notify_one();
        if (client.Read(frame.size()).size() != frame.size()) {
            state.SkipWithError("the relayed message did not come");
            break;
        }
        latencies.Add(Clock::now() - begin);
    }
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    wake.notify_one();
    relay.join();
    latencies.Report(state);
}
BENCHMARK(BM_ThreadHopRelay)->Iterations(kCalls);

// Incoming calls one after another on `channels` open, waiting line devices (round robin): the
// time from the call's injection into the simulated boards to the OFFERED event's arrival.
// Each call is then hung up, dropped and released before the next.
void BM_OfferedEventLatency(benchmark::State& state) {
    const auto channels = static_cast<int32_t>(state.range(0));
    const int32_t spans = (channels + kSlotsPerSpan - 1) / kSlotsPerSpan;
    NodeOnBoards node("network " + std::to_string(spans) + " " + std::to_string(kSlotsPerSpan) +
                          "\nip 0 0\ncall_delay 0\n",
                      {});
    if (!node.ready() || !node.StartSession()) {
        state.SkipWithError("the node did not start its session");
        return;
    }
    CommandPeer& peer = node.peer();
    for (int32_t ldev = 1; ldev <= channels; ++ldev) {
        peer.SendInts(kCCOPEN, node.NextId(), {ldev});
        peer.SendInts(kCCWCAL, node.NextId(), {ldev});
    }
    if (!node.Ping()) {
        state.SkipWithError("the line devices were not opened");
        return;
    }
    Latencies latencies;
    int call = 0;
    for (auto _ : state) {
        const int32_t ldev = call++ % channels + 1;
        const std::string device = LineDevice(ldev);
        const Clock::time_point begin = Clock::now();
        node.Control("call " + device + " 5551000 5552000");
        if (!AwaitDeviceEvent(peer, CCEV_OFFERED)) {
            state.SkipWithError("no OFFERED event came");
            return;
        }
        latencies.Add(Clock::now() - begin);

        node.Control("hangup " + device);
        const bool cleared =
            AwaitDeviceEvent(peer, CCEV_DISCONNECTED) &&
            (peer.SendInts(kCCDRCA, node.NextId(), {ldev, 0, CAUSE_NORMAL_CLEARING, kAsync}),
             AwaitDeviceEvent(peer, CCEV_DROPCALL)) &&
            (peer.SendInts(kCCRLCA, node.NextId(), {ldev, 0}),
             AwaitDeviceEvent(peer, CCEV_RELEASECALL));
        if (!cleared) {
            state.SkipWithError("a call could not be cleared");
            return;
        }
    }
    latencies.Report(state);
}
BENCHMARK(BM_OfferedEventLatency)->Arg(1)->Arg(120)->Iterations(kCalls);

// --- Keep-alives on one processor ---

// Round trips of one frame and its answer on a connection whose client runs on a processor of
// its own; `reply_size` bytes come back for each.
void RoundTrips(benchmark::State& state, RawConnection& connection,
                const std::vector<uint8_t>& frame, size_t reply_size) {
    PinnedThread client(ClientCpu());
    connection.SendAtOnce();
    for (auto _ : state) {
        if (!connection.SendAll(frame) || connection.Read(reply_size).size() != reply_size) {
            state.SkipWithError("a round trip failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// The floor: the same keep-alive frame echoed by a plain blocking server on one processor.
void BM_PlainEchoOneCpu(benchmark::State& state) {
    ruzd::testing::EchoServer server([] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(ServerCpu(), &one);
        pthread_setaffinity_np(pthread_self(), sizeof one, &one);
    });
    RawConnection connection = RawConnection::Connect(server.port());
    const std::vector<uint8_t> ping = Frame(kCNPING, {5, 7});
    RoundTrips(state, connection, ping, ping.size());
}
BENCHMARK(BM_PlainEchoOneCpu)->Iterations(kPings)->UseRealTime();

// CNPING answered by the node program tied to one processor, with its debug log on (1) or off.
void BM_NodePingOneCpu(benchmark::State& state) {
    std::unique_ptr<NodeOnBoards> node;
    {
        PinnedThread server(ServerCpu());
        node = std::make_unique<NodeOnBoards>("ip 0 0\n", state.range(0) != 0
                                                              ? std::vector<std::string>{"-d"}
                                                              : std::vector<std::string>{});
    }
    if (!node->ready()) {
        state.SkipWithError("the node does not accept commands");
        return;
    }
    RawConnection connection = RawConnection::Connect(node->command_port());
    RoundTrips(state, connection, Frame(kCNPING, {5, 7}), Frame(kPingEcho, {7}).size());
}
BENCHMARK(BM_NodePingOneCpu)->ArgName("debug")->Arg(1)->Arg(0)->Iterations(kPings)->UseRealTime();

// --- Reconnect ---

// The active connection closes while the workers run; a new connection's CNPING is answered:
// the time from the close to the answer. The new connection then starts its session.
void BM_ReconnectPing(benchmark::State& state) {
    NodeOnBoards node("network 1 30\nip 0 0\n", {});
    if (!node.ready() || !node.StartSession()) {
        state.SkipWithError("the node did not start its session");
        return;
    }
    Latencies latencies;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        node.Reconnect();
        if (!node.Ping()) {
            state.SkipWithError("the new connection's CNPING was not answered");
            return;
        }
        latencies.Add(Clock::now() - begin);
        if (!node.StartSession()) {
            state.SkipWithError("the new connection did not start its session");
            return;
        }
    }
    latencies.Report(state);
}
BENCHMARK(BM_ReconnectPing)->Iterations(kReconnects);

}  // namespace

int main(int argc, char** argv) {
    using ruzd::bench::Figure;
    const std::string hop = "BM_ThreadHopRelay/iterations:500";
    const std::string one = "BM_OfferedEventLatency/1/iterations:500";
    const std::string many = "BM_OfferedEventLatency/120/iterations:500";
    const std::string reconnect = "BM_ReconnectPing/iterations:50";
    return ruzd::bench::RunWithRatios(
        argc, argv,
        {{"CNPING on one CPU, node with -d vs a plain echo server",
          "BM_NodePingOneCpu/debug:1/iterations:20000/real_time",
          "BM_PlainEchoOneCpu/iterations:20000/real_time", 60},
         {"CNPING on one CPU, node without -d vs a plain echo server",
          "BM_NodePingOneCpu/debug:0/iterations:20000/real_time",
          "BM_PlainEchoOneCpu/iterations:20000/real_time", 80}},
        {{"floor: loopback message through a thread hop, p50", hop, "p50_ms", "ms"},
         {"floor: loopback message through a thread hop, p99", hop, "p99_ms", "ms"},
         {"OFFERED event latency, 1 channel, p50", one, "p50_ms", "ms"},
         {"OFFERED event latency, 1 channel, p99", one, "p99_ms", "ms", 1},
         {"OFFERED event latency, 120 channels, p50", many, "p50_ms", "ms"},
         {"OFFERED event latency, 120 channels, p99", many, "p99_ms", "ms", 1},
         {"CNPING on a new connection after the active one closed, p50", reconnect, "p50_ms", "ms"},
         {"CNPING on a new connection after the active one closed, p99", reconnect, "p99_ms", "ms",
          20}});
}
