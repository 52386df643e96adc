#pragma once

// One Intel IP board of the host media processing, opened as a Global Call line device: an
// IP call-control board (IPT) or an IP media board (IPM). A board keeps its number, its line
// device handle and its channel count; closing it (or destroying it) closes the line device.
// Every vendor call goes through the published hardware facade.

#include <cstdint>
#include <string>

#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::telephony {

class CIntelBoard {
public:
    enum Type : int32_t { kIPT = 0, kIPM = 1 };

    virtual ~CIntelBoard();
    CIntelBoard(const CIntelBoard&) = delete;
    CIntelBoard& operator=(const CIntelBoard&) = delete;

    // Closes the line device when it is open and the facade is there; the handle is 0 after.
    void Close();

    int32_t GetType() const { return type_; }
    // The line device handle; 0 while the board is not open.
    LINEDEV GetHandle() const { return handle_; }
    // Channels counted after the board opened; 0 before and when it failed to open.
    int32_t GetChannelCount() const { return channel_count_; }
    // 1-based, as Init was given it.
    int32_t GetBoardNumber() const { return board_number_; }

protected:
    // The line device number a board's vendor calls are logged under: a board has none.
    static constexpr int32_t kNoLineDevice = -1;

    explicit CIntelBoard(Type type) : type_(type) {}

    // Opens the Global Call device asynchronously into the handle; the facade's result (below
    // 0 on failure, when the handle stays 0).
    int32_t OpenLineDevice(const std::string& device_name);

    // The channel count from the board device's number of sub-devices. A library that cannot
    // tell (it answers -1) leaves the board without channels.
    bool CountChannels();

    Type type_;
    LINEDEV handle_ = 0;
    int32_t channel_count_ = 0;
    int32_t board_number_ = 0;
};

}  // namespace ruzd::telephony
