// Round trips of one-value frames over loopback: through a CServerStreamSocketThread that answers
// every command, against a plain blocking TCP echo pair measured in the same run. The client is
// the same blocking socket in both. The summary line gives the stream listener's rate as a share
// of the plain pair's.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "net/client_stream_socket.h"
#include "net/server_stream_socket_thread.h"
#include "net/stream_socket_callback.h"
#include "testing/loopback_socket.h"

namespace {

using ruzd::net::CClientStreamSocket;
using ruzd::net::CServerStreamSocketThread;
using ruzd::net::CStreamSocketCallback;
using ruzd::testing::RawConnection;
using ruzd::testing::RawListener;

// The integer 5 as a frame: length form 1, length 1, payload 05, sum 00 05, end byte.
constexpr uint8_t kFrame[] = {0x01, 0x01, 0x05, 0x00, 0x05, 0xFF};

// One frame out, its answer (a frame of the same size) back.
bool RoundTrip(RawConnection& connection) {
    return connection.SendAll(kFrame, sizeof kFrame) &&
           connection.Read(sizeof kFrame).size() == sizeof kFrame;
}

// Echoes whatever comes on one accepted connection, with blocking calls on a thread of its own.
class PlainEchoServer {
public:
    PlainEchoServer() {
        thread_ = std::thread([this] {
            RawConnection connection = listener_.Accept();
            for (;;) {
                const std::vector<uint8_t> got =
                    connection.ReadSome(ruzd::testing::kPatience, 2048);
                if (got.empty() || !connection.SendAll(got)) {
                    break;
                }
            }
        });
    }
    ~PlainEchoServer() { thread_.join(); }
    unsigned port() const { return listener_.port(); }

private:
    RawListener listener_;
    std::thread thread_;
};

// Answers every command with its code, as a reply on the connection that sent it.
class Answerer : public CStreamSocketCallback {
public:
    void OnSocketReceiveInfo(CClientStreamSocket* message) override {
        int32_t code = 0;
        message->ReadInt(code);
        message->BeginMessage(code);
        message->Flush();
    }
};

void BM_PlainEchoRoundTrip(benchmark::State& state) {
    PlainEchoServer server;
    RawConnection connection = RawConnection::Connect(server.port());
    for (auto _ : state) {
        if (!RoundTrip(connection)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    connection.Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainEchoRoundTrip)->UseRealTime();

void BM_StreamListenerRoundTrip(benchmark::State& state) {
    Answerer answerer;
    CServerStreamSocketThread listener(&answerer, 0);
    std::string address;
    unsigned port = 0;
    while (!listener.GetSockName(address, port) || port == 0) {
        std::this_thread::yield();
    }
    RawConnection connection = RawConnection::Connect(port);
    for (auto _ : state) {
        if (!RoundTrip(connection)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    connection.Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StreamListenerRoundTrip)->UseRealTime();

// Prints the usual table, then the stream listener's rate as a share of the plain pair's.
class ShareReporter : public benchmark::ConsoleReporter {
public:
    ShareReporter() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto found = run.counters.find("items_per_second");
            if (found != run.counters.end() && run.run_type == Run::RT_Iteration) {
                rates_[run.benchmark_name()] = found->second.value;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double plain = rates_["BM_PlainEchoRoundTrip/real_time"];
        const double stream = rates_["BM_StreamListenerRoundTrip/real_time"];
        if (plain > 0 && stream > 0) {
            std::printf(
                "stream listener: %.0f round trips/s, plain echo pair: %.0f round trips/s, "
                "share %.0f%% (target 60%% or more)\n",
                stream, plain, 100.0 * stream / plain);
        }
    }

private:
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    ShareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
