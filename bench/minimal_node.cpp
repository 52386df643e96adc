// The floor that the node program's processor time per call is measured against: a node that
// does the work of a call and nothing more, on the same simulated boards and through the same
// vendor functions. One thread waits for the boards' events, reads each as the node does
// (device, type, call reference; for an offered call its numbers, state, result and
// information elements) and sends it, encoded once, to every connection with one send(2)
// each; another takes the active connection's commands and drops and releases calls.
//
//   minimal_node <port> <connections> <channels>
//
// The channels are the time slots of the network spans, opened and waiting for calls before
// the node listens; the connections are taken in the order they come, the last one being the
// active one. The node serves until the active connection closes.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "node/central_message_code.h"
#include "node/command_codes.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/lib_dtimt.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/srl.h"

namespace {

using ruzd::node::CentralMessageCode;
using ruzd::node::CommandCode;
using ruzd::telephony::kPortTypeNetwork;

constexpr int32_t kSlotsPerSpan = 30;
constexpr int32_t kIdleWaitMs = 500;

// One whole frame of the command port.
class FrameWriter {
public:
    FrameWriter()
        : writer_([this](const uint8_t* bytes, int length, const std::string&, unsigned) {
              frame_.assign(bytes, bytes + length);
          }) {}
    ruzd::net::COutputStreamSocket& Begin(CentralMessageCode code) {
        return writer_.BeginMessage(static_cast<int32_t>(code));
    }
    const std::vector<uint8_t>& Finish() {
        writer_.Flush();
        return frame_;
    }

private:
    std::vector<uint8_t> frame_;
    ruzd::net::CCallbackOutputStream writer_;
};

class MinimalNode {
public:
    explicit MinimalNode(int32_t channels) : ldevs_(), crns_(static_cast<size_t>(channels) + 1) {
        for (int32_t ldev = 1; ldev <= channels; ++ldev) {
            const std::string name = "dtiB" + std::to_string((ldev - 1) / kSlotsPerSpan + 1) + "T" +
                                     std::to_string((ldev - 1) % kSlotsPerSpan + 1);
            LINEDEV handle = 0;
            CRN crn = 0;
            if (network_.cc_Open == nullptr || network_.cc_Open(&handle, name.c_str(), 0) != 0 ||
                network_.cc_WaitCall(handle, &crn, nullptr, -1, EV_ASYNC) != 0) {
                std::fprintf(stderr, "minimal node: %s does not open\n", name.c_str());
                std::exit(1);
            }
            if (static_cast<size_t>(handle) >= ldevs_.size()) {
                ldevs_.resize(static_cast<size_t>(handle) + 1);
            }
            ldevs_[static_cast<size_t>(handle)] = ldev;
        }
    }

    // Takes `count` connections on `port`, then serves until the last one closes.
    int Serve(uint16_t port, int count) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 64) != 0) {
            std::perror("minimal node: listen");
            return 1;
        }
        while (static_cast<int>(connections_.size()) < count) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                std::perror("minimal node: accept");
                return 1;
            }
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            connections_.push_back(fd);
        }
        ::close(listener);
        std::thread events([this] { ForwardEvents(); });
        TakeCommands(connections_.back());
        stop_.store(true);
        events.join();
        for (const int fd : connections_) {
            ::close(fd);
        }
        return 0;
    }

private:
    void ForwardEvents() {
        FrameWriter frame;
        IE_BLK elements{};
        while (!stop_.load()) {
            if (events_.sr_waitevt(kIdleWaitMs) < 0) {
                continue;
            }
            const int32_t device = events_.sr_getevtdev_0(0);
            const int32_t type = events_.sr_getevttype_0(0);
            void* data = events_.sr_getevtdatap_0(0);
            if (device < 0 || static_cast<size_t>(device) >= ldevs_.size() ||
                ldevs_[static_cast<size_t>(device)] == 0) {
                continue;
            }
            const int32_t ldev = ldevs_[static_cast<size_t>(device)];
            CRN crn = 0;
            network_.cc_GetCRN(&crn, data);
            ruzd::net::COutputStreamSocket& writer = frame.Begin(CentralMessageCode::kDeviceEvent);
            writer.WriteInt(ldev).WriteInt(kPortTypeNetwork).WriteInt(device).WriteInt(type);
            writer.WriteInt(crn);
            if (type == CCEV_OFFERED) {
                char dialled[129] = {};
                char calling[129] = {};
                int32_t state = 0;
                network_.cc_GetDNIS(crn, dialled);
                network_.cc_GetANI(crn, calling);
                network_.cc_CallState(crn, &state);
                crns_[static_cast<size_t>(ldev)].store(crn);
                writer.WriteInt(state).WriteString(dialled).WriteString(calling);
                writer.WriteInt(network_.cc_ResultValue(data));
                std::memset(&elements, 0, sizeof elements);
                if (network_.cc_GetSigInfo(reinterpret_cast<char*>(&elements), U_IES, data) == 0) {
                    writer.WriteInt(static_cast<int32_t>(sizeof elements));
                    writer.WriteBytes(reinterpret_cast<const uint8_t*>(&elements),
                                      static_cast<int>(sizeof elements));
                } else {
                    writer.WriteInt(0);
                }
                writer.WriteInt(0);
            } else if (type == CCEV_DISCONNECTED) {
                writer.WriteInt(network_.cc_ResultValue(data)).WriteInt(0);
            }
            const std::vector<uint8_t>& bytes = frame.Finish();
            for (const int fd : connections_) {
                ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
    }

    void TakeCommands(int active) {
        ruzd::net::CFrameCutter cutter(ruzd::net::CFrameCutter::Side::kListener);
        std::vector<uint8_t> chunk(65536);
        for (;;) {
            const ssize_t got = ::recv(active, chunk.data(), chunk.size(), 0);
            if (got <= 0) {
                return;
            }
            cutter.Append(chunk.data(), static_cast<size_t>(got),
                          [this, active](const uint8_t* payload, int length) {
                              OnCommand(active, payload, length);
                          });
        }
    }

    void OnCommand(int active, const uint8_t* payload, int length) {
        ruzd::net::CInputStreamSocket reader(payload, length);
        int32_t code = 0;
        int32_t id = 0;
        int32_t ldev = 0;
        reader.ReadInt(code).ReadInt(id).ReadInt(ldev);
        const bool known = ldev > 0 && static_cast<size_t>(ldev) < crns_.size();
        if (code == static_cast<int32_t>(CommandCode::kCCDRCA) && known) {
            int32_t unused = 0;
            int32_t cause = 0;
            reader.ReadInt(unused).ReadInt(cause);
            network_.cc_DropCall(crns_[static_cast<size_t>(ldev)].load(), cause, EV_ASYNC);
        } else if (code == static_cast<int32_t>(CommandCode::kCCRLCA) && known) {
            network_.cc_ReleaseCallEx(crns_[static_cast<size_t>(ldev)].load(), EV_ASYNC);
        } else if (code == static_cast<int32_t>(CommandCode::kCNPING)) {
            FrameWriter frame;
            frame.Begin(CentralMessageCode::kPingEcho).WriteInt(ldev);
            const std::vector<uint8_t>& bytes = frame.Finish();
            ::send(active, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }

    ruzd::telephony::CLibSRLMT events_;
    ruzd::telephony::CLibDTIMT network_;
    // The line device of each handle the boards gave, by handle; 0 for none.
    std::vector<int32_t> ldevs_;
    // The call of each line device, by ldev.
    std::vector<std::atomic<CRN>> crns_;
    std::vector<int> connections_;
    std::atomic<bool> stop_{false};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: minimal_node <port> <connections> <channels>\n");
        return 2;
    }
    MinimalNode node(std::atoi(argv[3]));
    return node.Serve(static_cast<uint16_t>(std::atoi(argv[1])), std::atoi(argv[2]));
}
