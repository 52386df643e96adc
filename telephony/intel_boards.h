#pragma once

// The process-wide list of the Intel IP boards of the host media processing: the IP
// call-control boards (IPT) and the IP media boards (IPM), numbered from 1 in the order the
// boards are counted. Init lists what the configuration manager reports installed, starts
// Global Call when DMV or IP boards need it and opens every board not yet held; the node's
// commands find IP channels, board names and handles through the list and register SIP
// identities through every IPT board. One lock guards the whole list; every operation holds
// it for its whole run, except while Init starts Global Call.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "telephony/intel_board.h"
#include "telephony/intel_ipm_board.h"
#include "telephony/intel_ipt_board.h"

namespace ruzd::telephony {

class CIntelBoards {
public:
    CIntelBoards() = default;
    // Closes and deletes every board.
    ~CIntelBoards();
    CIntelBoards(const CIntelBoards&) = delete;
    CIntelBoards& operator=(const CIntelBoards&) = delete;

    // Lists the installed boards, starts Global Call where needed and opens the boards whose
    // numbers are not held yet (a board that fails to open is held all the same, without
    // channels, so that the numbers stay aligned). False without the Dialogic libraries.
    bool Init();
    // Logs the installed families and devices; notes DMV boards and the default address of
    // the host media family.
    void PrintInstalledBoards();
    // Closes and deletes every board; a later Init opens them all again.
    void Close();

    // Boards of the type (CIntelBoard::kIPT or kIPM); 0 for any other type.
    int32_t GetBoardCount(int32_t type) const;
    // The board number and the channel within it (both from 1) of `channel`, counted from 1
    // across all boards of the type in board order; false for a channel outside them or
    // another type.
    bool FindChannel(int32_t type, int32_t channel, int32_t* board, int32_t* channelOnBoard) const;
    // The address text the IPT board was opened with; empty when there is no such board.
    std::string GetIPTBoardName(int32_t board) const;
    // The IPT board's line device handle; -1 when there is no such board.
    int32_t GetIPTBoardHandle(int32_t board) const;

    // Registers on every IPT board in order and appends each board's request id to `results`.
    // Does nothing when server, domain, user or password is missing.
    void SipRegister(std::vector<uint32_t>* results, const std::string* server,
                     const std::string* domain, const std::string* user,
                     const std::string* password, const std::string* local_host,
                     int32_t time_to_live);
    // Removes every registration of every IPT board; the request ids become the pending ones.
    void SipUnregisterAll();
    // Whether the id is one of the last SipUnregisterAll's requests.
    bool IsPendingRequest(uint32_t request_id) const;

    // The maximum number of IP calls Global Call is started with for the IP boards; 0 until
    // set.
    void SetIPCallCapacity(uint16_t capacity);
    uint16_t GetIPCallCapacity() const;
    // What the last enumeration found.
    bool HasDMVBoards() const;
    std::string GetDefaultAddress() const;

private:
    mutable std::recursive_mutex lock_;
    std::vector<std::unique_ptr<CIntelIPTBoard>> ipt_boards_;
    std::vector<std::unique_ptr<CIntelIPMBoard>> ipm_boards_;
    bool dmv_boards_ = false;
    uint16_t ip_call_capacity_ = 0;
    std::string default_address_;
    std::vector<uint32_t> pending_requests_;
};

// The one list of the process.
CIntelBoards& IntelBoards();

}  // namespace ruzd::telephony
