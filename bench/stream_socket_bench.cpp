// Round trips of one-value frames over loopback: through a CServerStreamSocketThread that answers
// every command, against a plain blocking TCP echo pair measured in the same run. The client is
// the same blocking socket in both; the stream listener's rate is printed as a share of the
// plain pair's.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "bench/ratio_reporter.h"
#include "net/client_stream_socket.h"
#include "net/server_stream_socket_thread.h"
#include "net/stream_socket_callback.h"
#include "testing/loopback_socket.h"

namespace {

using ruzd::net::CClientStreamSocket;
using ruzd::net::CServerStreamSocketThread;
using ruzd::net::CStreamSocketCallback;
using ruzd::testing::RawConnection;

// The integer 5 as a frame: length form 1, length 1, payload 05, sum 00 05, end byte.
constexpr uint8_t kFrame[] = {0x01, 0x01, 0x05, 0x00, 0x05, 0xFF};

// One frame out, its answer (a frame of the same size) back.
bool RoundTrip(RawConnection& connection) {
    return connection.SendAll(kFrame, sizeof kFrame) &&
           connection.Read(sizeof kFrame).size() == sizeof kFrame;
}

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
    ruzd::testing::EchoServer server;
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

}  // namespace

int main(int argc, char** argv) {
    return ruzd::bench::RunWithRatios(
        argc, argv,
        {{"stream listener round trips vs a plain blocking echo pair",
          "BM_StreamListenerRoundTrip/real_time", "BM_PlainEchoRoundTrip/real_time", 60}});
}
