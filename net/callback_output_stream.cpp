#include "net/callback_output_stream.h"

#include <utility>

namespace ruzd::net {

CCallbackOutputStream::CCallbackOutputStream(FrameSink sink) : sink_(std::move(sink)) {}

CCallbackOutputStream::~CCallbackOutputStream() = default;

bool CCallbackOutputStream::GetPeerName(std::string& address, unsigned& port) {
    address.clear();
    port = 0;
    return false;
}

int CCallbackOutputStream::Send(const uint8_t* frame, int length) {
    return SendTo(std::string(), 0, frame, length);
}

int CCallbackOutputStream::SendTo(const std::string& address, unsigned port, const uint8_t* frame,
                                  int length) {
    if (sink_) {
        sink_(frame, length, address, port);
    }
    return length;
}

}  // namespace ruzd::net
