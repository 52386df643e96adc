#pragma once

// An IP call-control board (IPT): opened through Global Call with the SIP settings the node
// relies on, and the board through which SIP identities are registered and removed.

#include <cstdint>
#include <string>

#include "telephony/intel_board.h"

namespace ruzd::telephony {

class CIntelIPTBoard : public CIntelBoard {
public:
    CIntelIPTBoard() : CIntelBoard(kIPT) {}

    // Opens ":P_IP:N_iptB<n>", configures it and counts its channels. False when the open or
    // the configuration failed; the board is closed again after a failed configuration.
    bool Init(int32_t board_number, const std::string& address);

    // Registers `user` (as "<authentication name>:<user part>" or a plain user name) with the
    // registrar; the request id of the registration, 0 when it was not sent. Null or empty
    // `local_host` stands for this machine's host name in the contact.
    uint32_t SipRegister(const std::string& server, const std::string& domain,
                         const std::string& user, const std::string& password,
                         const std::string* local_host, int32_t time_to_live);
    // Removes every registration of the board; the request id, 0 when it was not sent.
    uint32_t SipUnregisterAll();

    // The default address the board was given.
    const std::string& GetAddress() const { return address_; }
    const std::string& GetDeviceName() const { return device_name_; }

private:
    // Sets the SIP behaviour the node needs; false after logging the step that failed.
    bool Configure();

    std::string address_;
    std::string device_name_;
};

}  // namespace ruzd::telephony
