// Round trips of one-value frames over loopback: through a CServerStreamSocketThread that answers
// every command, against a plain blocking TCP echo pair measured in the same run. The client is
// the same blocking socket in both; the stream listener's rate is printed as a share of the
// plain pair's.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "bench/ratio_reporter.h"
#include "net/client_stream_socket.h"
#include "net/server_stream_socket_thread.h"
#include "net/stream_socket_callback.h"

namespace {

using ruzd::net::CClientStreamSocket;
using ruzd::net::CServerStreamSocketThread;
using ruzd::net::CStreamSocketCallback;

// The integer 5 as a frame: length form 1, length 1, payload 05, sum 00 05, end byte.
constexpr uint8_t kFrame[] = {0x01, 0x01, 0x05, 0x00, 0x05, 0xFF};

int ConnectTo(unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadExactly(int fd, uint8_t* bytes, size_t length) {
    while (length > 0) {
        const ssize_t got = ::recv(fd, bytes, length, 0);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

// One frame out, its answer (a frame of the same size) back.
bool RoundTrip(int fd) {
    uint8_t answer[sizeof kFrame];
    return ::send(fd, kFrame, sizeof kFrame, MSG_NOSIGNAL) == sizeof kFrame &&
           ReadExactly(fd, answer, sizeof answer);
}

// Echoes whatever comes on one accepted connection, with blocking calls on a thread of its own.
class PlainEchoServer {
public:
    PlainEchoServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(listener_, 5);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            uint8_t buffer[2048];
            for (;;) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0 || ::send(fd, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got) {
                    break;
                }
            }
            ::close(fd);
        });
    }
    ~PlainEchoServer() {
        thread_.join();
        ::close(listener_);
    }
    unsigned port() const { return port_; }

private:
    int listener_ = -1;
    unsigned port_ = 0;
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
    const int fd = ConnectTo(server.port());
    for (auto _ : state) {
        if (!RoundTrip(fd)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    ::close(fd);
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
    const int fd = ConnectTo(port);
    for (auto _ : state) {
        if (!RoundTrip(fd)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    ::close(fd);
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
