// The pool of bus slots for Aculab routing, built from the first Aculab card's bus mode, and
// the checks that the Dialogic boards share that bus the same way.

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/dialogic_install.h"
#include "platform/read_only_file.h"
#include "telephony/aculab_cards.h"
#include "telephony/app_message_box.h"
#include "telephony/bus_resource_pool.h"
#include "telephony/hardware.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// H.100: slots 1024 to 4094 (the digit relay keeps 4095). SCbus: 385 to 511, the Dialogic
// boards keeping the slots below.
constexpr int32_t kFirstH100Slot = 1024;
constexpr int32_t kFirstScbusSlot = 385;
constexpr int32_t kLastScbusSlot = 511;
constexpr int32_t kDialogicLimitH100 = 1023;
constexpr int32_t kDialogicLimitScbus = 384;

// The file in which the Dialogic configuration lists the slots it reserves.
constexpr const char* kReservedSlotsFile = "sctscfg.sav";
// The longest line read from it at once, as the C run time's fgets reads with 128 bytes.
constexpr size_t kLineLength = 127;

void Report(const std::string& text) {
    VendorTrace(0, 0, "%s", text.c_str());
    ShowAppMessageBox(text);
}

// Fills the pool; returns the number of slots the Dialogic boards may use beside it.
int32_t BuildPool(uint32_t bus_modes) {
    BusResourcePool& pool = BusResources();
    std::lock_guard hold(pool.Lock());
    if ((bus_modes & (SW_BUS_H100 | SW_BUS_H110)) != 0) {
        pool.SetH100(true);
        for (int32_t slot = kFirstH100Slot; slot < kDigitRelayTimeSlot; ++slot)
            pool.AppendFree(slot, slot / kH100SlotsPerStream, slot % kH100SlotsPerStream);
    } else if ((bus_modes & SW_BUS_SCBUS) != 0) {
        pool.SetH100(false);
        for (int32_t slot = kFirstScbusSlot; slot <= kLastScbusSlot; ++slot)
            pool.AppendFree(slot, kScbusStream, slot);
        return kDialogicLimitScbus;
    } else {
        VendorTrace(0, 0, "PrepareBusResourcesForAculabRouting Unknown BusType.");
    }
    return kDialogicLimitH100;
}

// The text of one value of "Bus-0", or nothing when the query failed.
bool BusValue(CHardware& hardware, const char* parameter_name, std::string* text) {
    std::string bus_name = NCM_BUS_0;
    std::string parameter = parameter_name;
    NCMVALUE bus{bus_name.data(), nullptr};
    NCMVALUE wanted{parameter.data(), nullptr};
    NCMVALUE* value = nullptr;
    if (hardware.NCM_GetTDMBusValue(&bus, &wanted, &value) != NCM_SUCCESS)
        return false;
    *text = value != nullptr && value->name != nullptr ? value->name : "";
    hardware.NCM_Dealloc(value);
    return true;
}

// Bus type and law texts are compared on their first four characters only.
bool Starts(const std::string& text, const char* word) {
    return std::strncmp(text.c_str(), word, 4) == 0;
}

void CheckDialogicBus(CHardware& hardware, bool h100) {
    std::string text;
    if (BusValue(hardware, NCM_TDM_BUS_TYPE, &text) && !Starts(text, "None")) {
        if (Starts(text, "H.100") && !h100) {
            Report("ERROR Dialogic configured as H.100 and Aculab as SCBus!");
        } else if (!Starts(text, "H.100") && h100) {
            Report("ERROR Dialogic configured as SCBus and Aculab as H.100!");
        }
    }
    if (BusValue(hardware, NCM_MEDIA_TYPE, &text) && !Starts(text, "NotApplicable") &&
        !Starts(text, "ALaw")) {
        Report("ERROR Dialogic Media Type not configured as ALaw!");
    }
}

// The file's lines as fgets reads them: at most kLineLength characters at a time.
std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    platform::ReadOnlyFile file;
    if (file.Open(path) != 0)
        return lines;
    std::string line;
    char buffer[4096];
    while (std::optional<size_t> read = file.Read(buffer, sizeof buffer)) {
        if (*read == 0)
            break;
        for (size_t i = 0; i < *read; ++i) {
            line += buffer[i];
            if (buffer[i] == '\n' || line.size() == kLineLength) {
                lines.push_back(std::move(line));
                line.clear();
            }
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

// The slots the Dialogic configuration reserves: the numbers of every "<number> <word>" line.
int32_t ReservedDialogicSlots() {
    std::string folder;
    if (!foundation::GetDialogicConfigPath(folder)) {
        VendorTrace(0, 0, "Warning could not determine Dialogic Configuration Directory");
        folder.clear();
    }
    int32_t total = 0;
    for (const std::string& line : ReadLines(folder + kReservedSlotsFile)) {
        int count = 0;
        char word[129];
        if (std::sscanf(line.c_str(), "%d %128s", &count, word) == 2)
            total += count;
    }
    return total;
}

}  // namespace

void PrepareBusResourcesForAculabRouting() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return;
    int32_t card_id = 0;
    {
        AculabCardList& cards = AculabCards();
        std::lock_guard hold(cards.Lock());
        if (cards.Size() == 0)
            return;
        card_id = cards.At(0).GetCardId();
    }
    SWMODE_PARMS mode{};
    mode.size = sizeof(SWMODE_PARMS);
    if (hardware->sw_mode_switch(card_id, &mode) != 0) {
        VendorTrace(0, 0, "PrepareBusResourcesForAculabRouting Failed");
        return;
    }
    // A pool built before goes first, so that no slot is lent twice.
    FreeBusResources();
    const int32_t limit = BuildPool(mode.ct_buses);

    if (hardware->IsIntelAvailable())
        CheckDialogicBus(*hardware, BusResources().IsH100());

    const int32_t reserved = ReservedDialogicSlots();
    if (reserved > limit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "ERROR Dialogic uses %d TimeSlots which is more than allowed in this "
                      "configuration (%d)",
                      reserved, limit);
        Report(text);
    }
}

void FreeBusResources() {
    BusResources().Clear();
}

}  // namespace ruzd::telephony
