// RTP streams of voice channels on the simulated boards, received on loopback by the bench's
// own UDP sockets: how evenly the packets of 64 streams arrive at real-time speed, and how much
// processor time a packet costs with the boards running 16 times faster. The baseline in the
// same run streams the same boards with a callback of the bench's own that sends each block at
// once (no ring buffer, no worker thread).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/ratio_reporter.h"
#include "platform/udp_socket.h"
#include "telephony/hardware_isdn.h"
#include "telephony/rtp_channel_streams.h"
#include "testing/simulated_boards.h"
#include "testing/temp_root.h"

namespace {

using Clock = std::chrono::steady_clock;
using ruzd::platform::UdpSocket;
using ruzd::telephony::CHardwareISDN;

constexpr uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order
constexpr double kPeriodMs = 64.0;          // 512 bytes at 8000 bytes a second
constexpr double kPacketsPerStreamSecond = 15.625;

// One receiving socket per stream, each read by a thread of its own that notes arrival times.
class Receivers {
public:
    explicit Receivers(int count)
        : sockets_(static_cast<size_t>(count)), arrivals_(static_cast<size_t>(count)) {
        for (UdpSocket& socket : sockets_) {
            socket.Open();
            socket.BindLoopback();
        }
        for (size_t i = 0; i < sockets_.size(); ++i) {
            threads_.emplace_back([this, i] {
                while (!stop_.load()) {
                    if (sockets_[i].Receive(std::chrono::milliseconds(50))) {
                        arrivals_[i].push_back(Clock::now());
                    }
                }
            });
        }
    }
    ~Receivers() { Stop(); }

    void Stop() {
        stop_.store(true);
        for (std::thread& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }
    uint16_t Port(size_t i) const { return sockets_[i].LocalPort(); }
    size_t Packets() const {
        size_t total = 0;
        for (const auto& times : arrivals_) {
            total += times.size();
        }
        return total;
    }
    // How far each gap between two packets of a stream is from the period, in ms.
    std::vector<double> Deviations() const {
        std::vector<double> deviations;
        for (const auto& times : arrivals_) {
            for (size_t k = 1; k < times.size(); ++k) {
                const double gap =
                    std::chrono::duration<double, std::milli>(times[k] - times[k - 1]).count();
                deviations.push_back(std::fabs(gap - kPeriodMs));
            }
        }
        std::sort(deviations.begin(), deviations.end());
        return deviations;
    }

private:
    std::vector<UdpSocket> sockets_;
    std::vector<std::vector<Clock::time_point>> arrivals_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stop_{false};
};

// The baseline's sender: the block goes out from the boards' callback thread as it comes.
struct DirectSender {
    UdpSocket socket;
    uint16_t port = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
};
std::vector<std::unique_ptr<DirectSender>> g_direct;  // by channel handle

int32_t SendAtOnce(int32_t channel, char* data, uint32_t length) {
    DirectSender& sender = *g_direct[static_cast<size_t>(channel)];
    uint8_t packet[12 + 512] = {0x80, 0x08};
    packet[2] = static_cast<uint8_t>(sender.sequence >> 8);
    packet[3] = static_cast<uint8_t>(sender.sequence++);
    for (int i = 0; i < 4; ++i) {
        packet[4 + i] = static_cast<uint8_t>(sender.timestamp >> (24 - 8 * i));
    }
    sender.timestamp += length;
    packet[11] = 1;
    std::copy_n(data, std::min<uint32_t>(length, 512), packet + 12);
    sender.socket.SendTo(kLoopback, sender.port, packet, 12 + std::min<uint32_t>(length, 512));
    return static_cast<int32_t>(length);
}

// The boards with `streams` voice channels at `speed`, streaming for `seconds` of wall time
// through the node's channel streams or the direct baseline.
struct Run {
    size_t packets = 0;
    double cpu_seconds = 0;
    std::vector<double> deviations;
};

Run Stream(int streams, int speed, double seconds, bool through_node) {
    ruzd::testing::TempRoot root;
    ruzd::testing::SimulatedBoards boards;
    boards.WriteConfig("voice 1 " + std::to_string(streams) + "\nip 0 0\nspeed " +
                       std::to_string(speed) + "\n");
    Receivers receivers(streams);
    Run run;
    {
        CHardwareISDN hardware(1);
        ruzd::telephony::PublishHardware(&hardware);
        std::vector<int32_t> channels;
        for (int c = 1; c <= streams; ++c) {
            channels.push_back(hardware.dx_open(c, ("dxxxB1C" + std::to_string(c)).c_str(), 0));
        }
        g_direct.clear();
        g_direct.resize(static_cast<size_t>(*std::max_element(channels.begin(), channels.end())) +
                        1);
        const std::clock_t cpu_start = std::clock();
        for (size_t i = 0; i < channels.size(); ++i) {
            if (through_node) {
                hardware.StartRTPStream(channels[i], "127.0.0.1", receivers.Port(i));
                continue;
            }
            auto sender = std::make_unique<DirectSender>();
            sender->socket.Open();
            sender->port = receivers.Port(i);
            g_direct[static_cast<size_t>(channels[i])] = std::move(sender);
            int32_t size = 512;
            hardware.ec_setparm(channels[i], ECCH_XFERBUFFERSIZE, &size);
            DX_XPB format{1, 3, 0x40, 8};
            hardware.ec_stream(channels[i], nullptr, &format, &SendAtOnce, 0x8000);
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        for (const int32_t channel : channels) {
            if (through_node) {
                hardware.RemoveRTPStream(channel);
            } else {
                hardware.ec_stopch(channel, 2, 0x8000);
            }
        }
        run.cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        ruzd::telephony::PublishHardware(nullptr);
    }
    g_direct.clear();
    receivers.Stop();
    run.packets = receivers.Packets();
    run.deviations = receivers.Deviations();
    return run;
}

double At(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) {
        return 0;
    }
    const auto rank = static_cast<size_t>(share * static_cast<double>(sorted.size() - 1));
    return sorted[rank];
}

void BM_Spacing(benchmark::State& state) {
    for (auto _ : state) {
        const Run run = Stream(64, 1, 3.3, state.range(0) == 1);
        state.SetIterationTime(3.3);
        state.counters["p50_ms"] = At(run.deviations, 0.5);
        state.counters["p99_ms"] = At(run.deviations, 0.99);
        state.counters["max_ms"] = run.deviations.empty() ? 0 : run.deviations.back();
        state.SetItemsProcessed(static_cast<int64_t>(run.packets));
    }
}
BENCHMARK(BM_Spacing)->ArgName("node")->Arg(1)->Arg(0)->Iterations(1)->UseManualTime();

void BM_CpuPerPacket(benchmark::State& state) {
    for (auto _ : state) {
        const Run run = Stream(16, 16, 2.0, state.range(0) == 1);
        state.SetIterationTime(std::max(run.cpu_seconds, 1e-6));
        const double per_cpu_second = static_cast<double>(run.packets) / run.cpu_seconds;
        state.counters["cpu_us_per_packet"] = 1e6 / per_cpu_second;
        state.counters["streams_per_core"] = per_cpu_second / kPacketsPerStreamSecond;
        state.SetItemsProcessed(static_cast<int64_t>(run.packets));
    }
}
BENCHMARK(BM_CpuPerPacket)->ArgName("node")->Arg(1)->Arg(0)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    const std::string node_spacing = "BM_Spacing/node:1/iterations:1/manual_time";
    const std::string direct_spacing = "BM_Spacing/node:0/iterations:1/manual_time";
    const std::string node_cpu = "BM_CpuPerPacket/node:1/iterations:1/manual_time";
    const std::string direct_cpu = "BM_CpuPerPacket/node:0/iterations:1/manual_time";
    return ruzd::bench::RunWithRatios(
        argc, argv,
        {{"RTP packets per CPU second, 16 streams at speed 16, node vs direct send", node_cpu,
          direct_cpu, 33.3}},
        {{"RTP spacing deviation, 64 streams, node, p50", node_spacing, "p50_ms", "ms"},
         {"RTP spacing deviation, 64 streams, node, p99", node_spacing, "p99_ms", "ms"},
         {"RTP spacing deviation, 64 streams, node, max", node_spacing, "max_ms", "ms"},
         {"RTP spacing deviation, 64 streams, direct, p50", direct_spacing, "p50_ms", "ms"},
         {"RTP spacing deviation, 64 streams, direct, p99", direct_spacing, "p99_ms", "ms"},
         {"RTP spacing deviation, 64 streams, direct, max", direct_spacing, "max_ms", "ms"},
         {"RTP CPU per packet, node", node_cpu, "cpu_us_per_packet", "us"},
         {"RTP CPU per packet, direct", direct_cpu, "cpu_us_per_packet", "us"},
         {"RTP streams per core, node", node_cpu, "streams_per_core", ""}});
}
