// The node program on the simulated boards, measured from outside through its command port by a
// central server of the bench's own: how soon an incoming call's event reaches the server, how
// fast the node answers keep-alives when it has one processor, and how soon it answers on a new
// connection once the active one closed. Each figure has its floor in the same run: one
// loopback message relayed through a thread hop, and a plain blocking echo server on the same
// one processor.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/latencies.h"
#include "bench/ratio_reporter.h"
#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "node/central_message_code.h"
#include "node/command_codes.h"
#include "platform/child_process.h"
#include "platform/sntp_client.h"
#include "telephony/vendorapi/isdn.h"
#include "testing/child_program.h"
#include "testing/command_peer.h"
#include "testing/loopback_socket.h"
#include "testing/node_on_boards.h"
#include "testing/os_for_tests.h"
#include "testing/wire_codes.h"

namespace {

using Clock = std::chrono::steady_clock;
using ruzd::bench::Latencies;
using ruzd::testing::Code;
using ruzd::testing::CommandPeer;
using ruzd::testing::NodeOnBoards;
using ruzd::testing::ProcessCpuSeconds;
using ruzd::testing::RawConnection;

constexpr int32_t kCCDRCA = Code(ruzd::node::CommandCode::kCCDRCA);
constexpr int32_t kCNPING = Code(ruzd::node::CommandCode::kCNPING);
constexpr int32_t kCCOPEN = Code(ruzd::node::CommandCode::kCCOPEN);
constexpr int32_t kCCRLCA = Code(ruzd::node::CommandCode::kCCRLCA);
constexpr int32_t kCCWCAL = Code(ruzd::node::CommandCode::kCCWCAL);
constexpr int32_t kDeviceEvent = Code(ruzd::node::CentralMessageCode::kDeviceEvent);
constexpr int32_t kPingEcho = Code(ruzd::node::CentralMessageCode::kPingEcho);
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
    const double cpu_before = server.CpuSeconds();
    RoundTrips(state, connection, ping, ping.size());
    state.counters["cpu_us_per_ping"] =
        1e6 * (server.CpuSeconds() - cpu_before) / static_cast<double>(state.iterations());
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
    const double cpu_before = ProcessCpuSeconds(node->process().pid());
    RoundTrips(state, connection, Frame(kCNPING, {5, 7}), Frame(kPingEcho, {7}).size());
    state.counters["cpu_us_per_ping"] = 1e6 *
                                        (ProcessCpuSeconds(node->process().pid()) - cpu_before) /
                                        static_cast<double>(state.iterations());
}
BENCHMARK(BM_NodePingOneCpu)->ArgName("debug")->Arg(1)->Arg(0)->Iterations(kPings)->UseRealTime();

// --- Reconnect ---

// The active connection closes while the workers run, and a new one is made: the time from the
// close to the answer of its first command, CNPING or (`init`) CNINIT. The file connection stays
// authorised throughout, as the central server's does; the new connection then starts its
// session.
void MeasureReconnects(benchmark::State& state, bool init) {
    NodeOnBoards node("network 1 30\nip 0 0\n", {});
    if (!node.ready() || !node.StartSession()) {
        state.SkipWithError("the node did not start its session");
        return;
    }
    Latencies latencies;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        node.Reconnect();
        if (!(init ? node.Init() : node.Ping())) {
            state.SkipWithError("the new connection's first command was not answered");
            return;
        }
        latencies.Add(Clock::now() - begin);
        if (!(init ? node.StartWorkers() : node.StartSession())) {
            state.SkipWithError("the new connection did not start its session");
            return;
        }
    }
    latencies.Report(state);
}

void BM_ReconnectPing(benchmark::State& state) {
    MeasureReconnects(state, false);
}
BENCHMARK(BM_ReconnectPing)->Iterations(kReconnects);

void BM_ReconnectInit(benchmark::State& state) {
    MeasureReconnects(state, true);
}
BENCHMARK(BM_ReconnectInit)->Iterations(kReconnects);

// --- Events with many connections ---

// What a run of calls needs of the node it drives: the boards' control line, the active
// connection, and the processor time the node has used so far.
class CallTarget {
public:
    virtual ~CallTarget() = default;
    virtual std::string Control(const std::string& command) = 0;
    virtual CommandPeer& Active() = 0;
    virtual double CpuSeconds() = 0;
};

// One run of calls and what it measured.
struct CallRun {
    Latencies offered;
    int calls = 0;
    double seconds = 0;      // from the first call to the last release
    double cpu_seconds = 0;  // the node's over the same time
    std::string failure;
};

// Calls at a steady rate on the free line devices (round robin), each cleared as a central
// server clears it: the far end hangs up, then CCDRCA and CCRLCA follow their events. A reader
// thread takes the active connection's events as they come and stamps them; the OFFERED
// event's latency is measured from the call's injection.
class CallDriver {
public:
    CallDriver(CallTarget& target, int32_t channels)
        : target_(target), injected_(static_cast<size_t>(channels) + 1), busy_(injected_.size()) {}

    CallRun Run(int rate, int calls) {
        CallRun run;
        std::thread reader([this] { ReadEvents(); });
        const auto period = std::chrono::nanoseconds(1000000000 / rate);
        int injected = 0;
        int released = 0;
        int32_t cursor = 0;
        const double cpu_before = target_.CpuSeconds();
        const Clock::time_point begin = Clock::now();
        Clock::time_point next = begin;
        Clock::time_point progress = begin;
        while (released < calls) {
            std::deque<std::pair<int32_t, int32_t>> due;
            {
                std::unique_lock lock(lock_);
                const Clock::time_point until =
                    injected < calls ? next : Clock::now() + std::chrono::milliseconds(100);
                wake_.wait_until(lock, until, [this] { return !events_.empty(); });
                due.swap(events_);
            }
            for (const auto& [ldev, code] : due) {
                released += Clear(ldev, code) ? 1 : 0;
                progress = Clock::now();
            }
            if (injected < calls && Clock::now() >= next) {
                if (const std::optional<int32_t> ldev = FreeDevice(cursor)) {
                    busy_[*ldev] = true;
                    injected_[*ldev].store(Clock::now().time_since_epoch().count());
                    target_.Control("call " + LineDevice(*ldev) + " 5551000 5552000");
                    ++injected;
                }
                // A node that falls behind gets the calls it missed in a burst, as a
                // switch would send them.
                next += period;
            }
            if (Clock::now() - progress > kEventPatience) {
                run.failure = "the calls stopped after " + std::to_string(released);
                break;
            }
        }
        run.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        run.cpu_seconds = target_.CpuSeconds() - cpu_before;
        run.calls = released;
        stop_.store(true);
        reader.join();
        run.offered = std::move(offered_);
        return run;
    }

private:
    void ReadEvents() {
        while (!stop_.load()) {
            const std::optional<ruzd::testing::Payload> payload =
                target_.Active().Receive(std::chrono::milliseconds(50));
            const Clock::time_point now = Clock::now();
            if (!payload) {
                continue;
            }
            const std::vector<int32_t> fields = ruzd::testing::LeadingInts(*payload, 5);
            if (fields.size() < 5 || fields[0] != kDeviceEvent || fields[1] < 1 ||
                static_cast<size_t>(fields[1]) >= injected_.size()) {
                continue;
            }
            const int32_t ldev = fields[1];
            const int32_t code = fields[4];
            if (code == CCEV_OFFERED) {
                offered_.Add(now - Clock::time_point(Clock::duration(injected_[ldev].load())));
            }
            if (code == CCEV_OFFERED || code == CCEV_DISCONNECTED || code == CCEV_DROPCALL ||
                code == CCEV_RELEASECALL) {
                {
                    std::lock_guard lock(lock_);
                    events_.emplace_back(ldev, code);
                }
                wake_.notify_one();
            }
        }
    }

    // The next step of a call's clearing; true once the call is released.
    bool Clear(int32_t ldev, int32_t code) {
        switch (code) {
            case CCEV_OFFERED:
                target_.Control("hangup " + LineDevice(ldev));
                return false;
            case CCEV_DISCONNECTED:
                target_.Active().SendInts(kCCDRCA, next_id_++,
                                          {ldev, 0, CAUSE_NORMAL_CLEARING, kAsync});
                return false;
            case CCEV_DROPCALL:
                target_.Active().SendInts(kCCRLCA, next_id_++, {ldev, 0});
                return false;
            default:
                busy_[ldev] = false;
                return true;
        }
    }

    std::optional<int32_t> FreeDevice(int32_t& cursor) const {
        const auto channels = static_cast<int32_t>(busy_.size()) - 1;
        for (int32_t tried = 0; tried < channels; ++tried) {
            cursor = cursor % channels + 1;
            if (!busy_[cursor]) {
                return cursor;
            }
        }
        return std::nullopt;
    }

    CallTarget& target_;
    // When each line device's call was injected (steady clock ticks), by ldev.
    std::vector<std::atomic<int64_t>> injected_;
    std::vector<bool> busy_;  // the driver's own
    int32_t next_id_ = 1000;
    Latencies offered_;  // the reader's own until it ends
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::pair<int32_t, int32_t>> events_;
};

// The connections beside the active one, each proven as a central server's connection with a
// keep-alive answered, then drained: a node never finds one full.
std::vector<RawConnection> OtherConnections(unsigned port, int count) {
    std::vector<RawConnection> connections;
    const std::vector<uint8_t> ping = Frame(kCNPING, {1, 7});
    const size_t echo = Frame(kPingEcho, {7}).size();
    for (int made = 0; made < count; ++made) {
        RawConnection connection = RawConnection::Connect(port);
        connection.SendAtOnce();
        if (!connection.SendAll(ping) || connection.Read(echo).size() != echo) {
            return {};
        }
        connections.push_back(std::move(connection));
    }
    return connections;
}

constexpr int kManyChannels = 120;
constexpr int kCallSeconds = 3;

// A run of calls at `rate` while the connections other than the active one are drained, and
// its figures: the OFFERED latencies, the calls per second reached, the node's processor time
// per call and the bytes each connection received per call.
void RunCalls(benchmark::State& state, CallTarget& target, std::vector<RawConnection> others,
              int rate) {
    const auto count = static_cast<double>(others.size());
    ruzd::testing::ConnectionDrain drain(std::move(others));
    CallRun run;
    for (auto _ : state) {
        CallDriver driver(target, kManyChannels);
        run = driver.Run(rate, rate * kCallSeconds);
    }
    if (!run.failure.empty()) {
        state.SkipWithError(run.failure.c_str());
        return;
    }
    run.offered.Report(state);
    state.counters["calls_per_s"] = run.calls / run.seconds;
    state.counters["cpu_us_per_call"] = 1e6 * run.cpu_seconds / run.calls;
    if (count > 0) {
        state.counters["bytes_per_call"] =
            static_cast<double>(drain.Bytes()) / count / static_cast<double>(run.calls);
    }
}

class NodeTarget : public CallTarget {
public:
    explicit NodeTarget(NodeOnBoards& node) : node_(node) {}
    std::string Control(const std::string& command) override { return node_.Control(command); }
    CommandPeer& Active() override { return node_.peer(); }
    double CpuSeconds() override { return ProcessCpuSeconds(node_.process().pid()); }

private:
    NodeOnBoards& node_;
};

// Calls at `calls_per_s` on 120 open, waiting line devices while `connections` command
// connections are open: the active one, made last, and the others, proven and drained. Every
// event goes to each of them.
void BM_EventsManyConnections(benchmark::State& state) {
    const auto connections = static_cast<int>(state.range(0));
    const auto rate = static_cast<int>(state.range(1));
    NodeOnBoards node("network " + std::to_string(kManyChannels / kSlotsPerSpan) + " " +
                          std::to_string(kSlotsPerSpan) + "\nip 0 0\ncall_delay 0\n",
                      {});
    if (!node.ready()) {
        state.SkipWithError("the node does not accept commands");
        return;
    }
    std::vector<RawConnection> others = OtherConnections(node.command_port(), connections - 1);
    if (static_cast<int>(others.size()) != connections - 1) {
        state.SkipWithError("the other connections were not answered");
        return;
    }
    // The active connection is the newest, the last that every event goes to.
    node.Reconnect();
    if (!node.StartSession()) {
        state.SkipWithError("the node did not start its session");
        return;
    }
    for (int32_t ldev = 1; ldev <= kManyChannels; ++ldev) {
        node.peer().SendInts(kCCOPEN, node.NextId(), {ldev});
        node.peer().SendInts(kCCWCAL, node.NextId(), {ldev});
    }
    if (!node.Ping()) {
        state.SkipWithError("the line devices were not opened");
        return;
    }
    NodeTarget target(node);
    RunCalls(state, target, std::move(others), rate);
}
BENCHMARK(BM_EventsManyConnections)
    ->ArgNames({"connections", "calls_per_s"})
    ->Args({1, 1000})
    ->Args({8, 1000})
    ->Args({32, 1000})
    ->Args({32, 2000})
    ->Iterations(1)
    ->UseRealTime();

// The floor of the node's work per call: the minimal node program (bench/minimal_node.cpp) on
// simulated boards of its own, which does what a call needs and nothing more, and the central
// server's connections to it: the others first, the active one last.
class MinimalNodeOnBoards : public CallTarget {
public:
    explicit MinimalNodeOnBoards(int connections) {
        environment_.Unset("BOARDSIM_JOURNAL");
        boards_.WriteConfig("network " + std::to_string(kManyChannels / kSlotsPerSpan) + " " +
                            std::to_string(kSlotsPerSpan) + "\nip 0 0\ncall_delay 0\n");
        ruzd::testing::ProgramStart start;
        start.program = ruzd::testing::ProgramFolder() / "minimal_node";
        start.arguments = {std::to_string(port_), std::to_string(connections),
                           std::to_string(kManyChannels)};
        start.folder = work_.path();
        start.stderr_file = work_.path() / "stderr.txt";
        const pid_t pid = ruzd::testing::StartProgram(start);
        if (pid <= 0) {
            return;
        }
        child_ = std::make_unique<ruzd::platform::ChildProcess>(pid);
        const auto gave_up = [this] { return child_->HasEnded(); };
        for (int made = 0; made + 1 < connections; ++made) {
            others_.push_back(
                RawConnection::ConnectWhenListening(port_, ruzd::testing::kPatience, gave_up));
        }
        active_ = std::make_unique<CommandPeer>(
            RawConnection::ConnectWhenListening(port_, ruzd::testing::kPatience, gave_up));
        active_->SendInts(kCNPING, 1, {7});
        ready_ = active_->ReceiveCode(kPingEcho).has_value();
    }
    ~MinimalNodeOnBoards() override {
        // The active connection's close ends the node.
        active_.reset();
        if (child_ && child_->ended().Wait(10000) != ruzd::platform::kWaitObject0) {
            ruzd::testing::KillProgram(child_->pid());
            child_->ended().Wait(10000);
        }
    }

    bool ready() const { return ready_; }
    std::vector<RawConnection> TakeOthers() { return std::move(others_); }

    std::string Control(const std::string& command) override { return boards_.Control(command); }
    CommandPeer& Active() override { return *active_; }
    double CpuSeconds() override { return ProcessCpuSeconds(child_ ? child_->pid() : -1); }

private:
    ruzd::testing::TempDir work_;
    ruzd::testing::SimulatedBoards boards_;
    ruzd::testing::ScopedEnvironment environment_;
    const uint16_t port_ = ruzd::testing::FreePort();
    std::unique_ptr<ruzd::platform::ChildProcess> child_;
    std::vector<RawConnection> others_;
    std::unique_ptr<CommandPeer> active_;
    bool ready_ = false;
};

// The same calls on the minimal node: the floor of the node's processor time per call.
void BM_MinimalNodeEvents(benchmark::State& state) {
    const auto connections = static_cast<int>(state.range(0));
    const auto rate = static_cast<int>(state.range(1));
    MinimalNodeOnBoards node(connections);
    if (!node.ready()) {
        state.SkipWithError("the minimal node did not answer");
        return;
    }
    RunCalls(state, node, node.TakeOthers(), rate);
}
BENCHMARK(BM_MinimalNodeEvents)
    ->ArgNames({"connections", "calls_per_s"})
    ->Args({1, 1000})
    ->Args({8, 1000})
    ->Args({32, 1000})
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

// The names of the runs of calls, by connections and calls per second.
std::string NodeCalls(int connections, int rate) {
    return "BM_EventsManyConnections/connections:" + std::to_string(connections) +
           "/calls_per_s:" + std::to_string(rate) + "/iterations:1/real_time";
}
std::string MinimalCalls(int connections) {
    return "BM_MinimalNodeEvents/connections:" + std::to_string(connections) +
           "/calls_per_s:1000/iterations:1/real_time";
}

int main(int argc, char** argv) {
    using ruzd::bench::CostRatio;
    using ruzd::bench::Figure;
    const std::string hop = "BM_ThreadHopRelay/iterations:500";
    const std::string one = "BM_OfferedEventLatency/1/iterations:500";
    const std::string many = "BM_OfferedEventLatency/120/iterations:500";
    const std::string reconnect = "BM_ReconnectPing/iterations:50";
    const std::string session = "BM_ReconnectInit/iterations:50";
    std::vector<Figure> figures = {
        {"floor: loopback message through a thread hop, p50", hop, "p50_ms", "ms"},
        {"floor: loopback message through a thread hop, p99", hop, "p99_ms", "ms"},
        {"OFFERED event latency, 1 channel, p50", one, "p50_ms", "ms"},
        {"OFFERED event latency, 1 channel, p99", one, "p99_ms", "ms", 1},
        {"OFFERED event latency, 120 channels, p50", many, "p50_ms", "ms"},
        {"OFFERED event latency, 120 channels, p99", many, "p99_ms", "ms", 1}};
    for (const int rate : {1000, 2000}) {
        const std::string label = "OFFERED event latency, 120 channels, 32 connections, " +
                                  std::to_string(rate) + " calls/s";
        figures.push_back({label + ", p50", NodeCalls(32, rate), "p50_ms", "ms"});
        figures.push_back({label + ", p99", NodeCalls(32, rate), "p99_ms", "ms", 1});
    }
    figures.push_back({"floor: the same on the minimal node, 1000 calls/s, p99", MinimalCalls(32),
                       "p99_ms", "ms"});
    std::vector<CostRatio> costs;
    for (const int connections : {1, 8, 32}) {
        const std::string count =
            std::to_string(connections) + (connections == 1 ? " connection" : " connections");
        figures.push_back({"node CPU per call, " + count + ", 1000 calls/s",
                           NodeCalls(connections, 1000), "cpu_us_per_call", "us"});
        figures.push_back({"floor: minimal node CPU per call, " + count, MinimalCalls(connections),
                           "cpu_us_per_call", "us"});
        costs.push_back({"node CPU per call vs the minimal node on the same boards, " + count,
                         NodeCalls(connections, 1000), MinimalCalls(connections), "cpu_us_per_call",
                         2});
    }
    figures.push_back(
        {"CNPING on a new connection after the active one closed, p50", reconnect, "p50_ms", "ms"});
    figures.push_back({"CNPING on a new connection after the active one closed, p99", reconnect,
                       "p99_ms", "ms", 20});
    figures.push_back({"a new session after the active one closed (connect, CNINIT answered), p50",
                       session, "p50_ms", "ms"});
    figures.push_back({"a new session after the active one closed (connect, CNINIT answered), p99",
                       session, "p99_ms", "ms", 10});
    return ruzd::bench::RunWithRatios(argc, argv,
                                      {{"CNPING on one CPU, node with -d vs a plain echo server",
                                        "BM_NodePingOneCpu/debug:1/iterations:20000/real_time",
                                        "BM_PlainEchoOneCpu/iterations:20000/real_time", 90},
                                       {"CNPING on one CPU, node without -d vs a plain echo server",
                                        "BM_NodePingOneCpu/debug:0/iterations:20000/real_time",
                                        "BM_PlainEchoOneCpu/iterations:20000/real_time", 95}},
                                      figures, costs);
}
