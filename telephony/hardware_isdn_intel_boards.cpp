// The facade operations that reach the process-wide Intel IP board list.

#include "telephony/hardware_isdn.h"
#include "telephony/intel_boards.h"

namespace ruzd::telephony {

bool CHardwareISDN::HasIntelIPBoards(int32_t /*unused*/) {
    CIntelBoards& boards = IntelBoards();
    return boards.GetBoardCount(CIntelBoard::kIPT) > 0 &&
           boards.GetBoardCount(CIntelBoard::kIPM) > 0;
}

void CHardwareISDN::SipUnregisterAll() {
    IntelBoards().SipUnregisterAll();
}

void CHardwareISDN::SipRegister(std::vector<uint32_t>* results, const std::string* server,
                                const std::string* domain, const std::string* user,
                                const std::string* password, const std::string* local_host,
                                int32_t time_to_live) {
    if (server == nullptr || domain == nullptr || user == nullptr || password == nullptr)
        return;
    if (results != nullptr)
        results->clear();
    IntelBoards().SipRegister(results, server, domain, user, password, local_host, time_to_live);
}

}  // namespace ruzd::telephony
