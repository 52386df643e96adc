#include "telephony/intel_boards.h"

#include "platform/text.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kGeneralLog = 0;
constexpr int kIpLog = 6;
constexpr size_t kAddressBuffer = 128;

std::string NameOf(const NCMVALUE* value) {
    return value->name != nullptr ? platform::Cp1252ToUtf8(value->name) : std::string();
}

bool BeginsWith(const std::string& name, const char* prefix) {
    return name.rfind(prefix, 0) == 0;
}

// The board of the type that holds the 1-based channel, counting across the boards in
// order.
template <typename Board>
bool FindChannelOn(const std::vector<std::unique_ptr<Board>>& boards, int32_t channel,
                   int32_t* board_number, int32_t* channel_on_board) {
    int32_t remaining = channel;
    for (const auto& board : boards) {
        if (remaining <= board->GetChannelCount()) {
            if (board_number != nullptr)
                *board_number = board->GetBoardNumber();
            if (channel_on_board != nullptr)
                *channel_on_board = remaining;
            return true;
        }
        remaining -= board->GetChannelCount();
    }
    return false;
}

}  // namespace

CIntelBoards::~CIntelBoards() {
    Close();
}

void CIntelBoards::PrintInstalledBoards() {
    static constexpr const char* kFunction = "CIntelBoards::PrintInstalledBoards";
    std::lock_guard<std::recursive_mutex> lock(lock_);
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return;
    NCMFamily* families = nullptr;
    const NCMRetCode result = hardware->NCM_GetInstalledFamilies(&families);
    if (result != NCM_SUCCESS) {
        VendorTrace(kGeneralLog, 0, "%s Error %d during NCM_GetInstalledFamilies", kFunction,
                    result);
    } else {
        VendorTrace(kGeneralLog, 0, "Dialogic Installed Boards:");
        for (NCMFamily* family = families; family != nullptr; family = family->next) {
            VendorTrace(kGeneralLog, 0, "\tFamilie %s:", NameOf(family).c_str());
            NCMDevice* devices = nullptr;
            const NCMRetCode devices_result = hardware->NCM_GetInstalledDevices(family, &devices);
            if (devices_result != NCM_SUCCESS) {
                VendorTrace(kGeneralLog, 0, "%s Error %d during NCM_GetInstalledDevices", kFunction,
                            devices_result);
                continue;
            }
            for (NCMDevice* device = devices; device != nullptr; device = device->next) {
                const std::string name = NameOf(device);
                VendorTrace(kGeneralLog, 0, "\t\tDevice %s", name.c_str());
                if (BeginsWith(name, "DMV"))
                    dmv_boards_ = true;
                if (BeginsWith(name, "HMP")) {
                    char model_name[] = "HMP";
                    NCMVALUE model{model_name, nullptr};
                    char address[kAddressBuffer] = {};
                    const NCMRetCode address_result =
                        hardware->NCM_GetDefaultIPAddress(family, &model, device, address);
                    address[kAddressBuffer - 1] = '\0';
                    default_address_ = platform::Cp1252ToUtf8(address);
                    if (address_result == NCM_SUCCESS)
                        VendorTrace(kGeneralLog, 0, "\t\t\tDefault IP %s",
                                    default_address_.c_str());
                }
            }
            if (devices != nullptr)
                hardware->NCM_Dealloc(devices);
        }
        VendorTrace(kGeneralLog, 0, "End Dialogic Installed Boards");
    }
    if (families != nullptr)
        hardware->NCM_Dealloc(families);
}

bool CIntelBoards::Init() {
    PrintInstalledBoards();
    CHardware* hardware = PublishedHardware();
    if (hardware != nullptr && HasDMVBoards() && !hardware->IsGlobalCallInitialised()) {
        VendorTrace(kGeneralLog, 0, "Switch to GlobalCall automatic because there are DMV boards.");
        hardware->InitGlobalCall(0, nullptr);
    }
    if (hardware == nullptr || !hardware->IsIntelAvailable()) {
        VendorTrace(kGeneralLog, 0, "CIntelBoards::Init() failed because dialogic is not loaded.");
        return false;
    }

    int32_t ipt_count = 0;
    const int32_t ipt_result = hardware->sr_getboardcnt("IPT", &ipt_count);
    if (ipt_result == 0) {
        std::string address = GetDefaultAddress();
        if (ipt_count > 0 && !hardware->IsGlobalCallInitialised()) {
            VendorTrace(kGeneralLog, 0,
                        "Switch to GlobalCall automatic because there are IP boards.");
            // Global Call may name the SIP port after the address.
            hardware->InitGlobalCall(GetIPCallCapacity(), &address);
            std::lock_guard<std::recursive_mutex> lock(lock_);
            default_address_ = address;
        }
        VendorTrace(kIpLog, 0, "Number of Intel IPT Boards detected: %d, Using default address: %s",
                    ipt_count, address.c_str());
    } else {
        ipt_count = 0;
        VendorTrace(kIpLog, 0, "CIntelBoards::Init() Error %d in GetIPTBoardCount", ipt_result);
    }
    for (int32_t number = 1; number <= ipt_count; ++number) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        if (static_cast<size_t>(number) <= ipt_boards_.size())
            continue;
        auto board = std::make_unique<CIntelIPTBoard>();
        board->Init(number, default_address_);
        ipt_boards_.push_back(std::move(board));
    }

    int32_t ipm_count = 0;
    const int32_t ipm_result = hardware->sr_getboardcnt("IPM", &ipm_count);
    if (ipm_result == 0) {
        VendorTrace(kIpLog, 0, "Number of Intel IPM Boards detected: %d", ipm_count);
    } else {
        ipm_count = 0;
        VendorTrace(kIpLog, 0, "CIntelBoards::Init() Error %d in GetIPMBoardCount", ipm_result);
    }
    for (int32_t number = 1; number <= ipm_count; ++number) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        if (static_cast<size_t>(number) <= ipm_boards_.size())
            continue;
        auto board = std::make_unique<CIntelIPMBoard>();
        board->Init(number);
        ipm_boards_.push_back(std::move(board));
    }
    return true;
}

void CIntelBoards::Close() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    ipt_boards_.clear();  // each board closes as it goes
    ipm_boards_.clear();
}

int32_t CIntelBoards::GetBoardCount(int32_t type) const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    switch (type) {
        case CIntelBoard::kIPT:
            return static_cast<int32_t>(ipt_boards_.size());
        case CIntelBoard::kIPM:
            return static_cast<int32_t>(ipm_boards_.size());
        default:
            return 0;
    }
}

bool CIntelBoards::FindChannel(int32_t type, int32_t channel, int32_t* board,
                               int32_t* channelOnBoard) const {
    // Channels count from 1: no board holds channel 0 or below.
    if (channel < 1)
        return false;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    switch (type) {
        case CIntelBoard::kIPT:
            return FindChannelOn(ipt_boards_, channel, board, channelOnBoard);
        case CIntelBoard::kIPM:
            return FindChannelOn(ipm_boards_, channel, board, channelOnBoard);
        default:
            return false;
    }
}

std::string CIntelBoards::GetIPTBoardName(int32_t board) const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (const auto& ipt : ipt_boards_) {
        if (ipt->GetBoardNumber() == board)
            return ipt->GetAddress();
    }
    return std::string();
}

int32_t CIntelBoards::GetIPTBoardHandle(int32_t board) const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (const auto& ipt : ipt_boards_) {
        if (ipt->GetBoardNumber() == board)
            return ipt->GetHandle();
    }
    return -1;
}

void CIntelBoards::SipRegister(std::vector<uint32_t>* results, const std::string* server,
                               const std::string* domain, const std::string* user,
                               const std::string* password, const std::string* local_host,
                               int32_t time_to_live) {
    if (server == nullptr || domain == nullptr || user == nullptr || password == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (const auto& board : ipt_boards_) {
        const uint32_t request_id =
            board->SipRegister(*server, *domain, *user, *password, local_host, time_to_live);
        if (results != nullptr)
            results->push_back(request_id);
    }
}

void CIntelBoards::SipUnregisterAll() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    pending_requests_.clear();
    for (const auto& board : ipt_boards_)
        pending_requests_.push_back(board->SipUnregisterAll());
}

bool CIntelBoards::IsPendingRequest(uint32_t request_id) const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (uint32_t pending : pending_requests_) {
        if (pending == request_id)
            return true;
    }
    return false;
}

void CIntelBoards::SetIPCallCapacity(uint16_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    ip_call_capacity_ = capacity;
}

uint16_t CIntelBoards::GetIPCallCapacity() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ip_call_capacity_;
}

bool CIntelBoards::HasDMVBoards() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return dmv_boards_;
}

std::string CIntelBoards::GetDefaultAddress() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return default_address_;
}

CIntelBoards& IntelBoards() {
    static CIntelBoards boards;
    return boards;
}

}  // namespace ruzd::telephony
