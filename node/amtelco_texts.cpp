#include "node/amtelco_texts.h"

#include "node/amtelco_tables.h"
#include "platform/text.h"

namespace ruzd::node {
namespace {

constexpr int32_t kPositionsPerGroup = 64;

unsigned LowByte(int32_t value) {
    return static_cast<unsigned>(value) & 0xFFu;
}

unsigned LowWord(int32_t value) {
    return static_cast<unsigned>(value) & 0xFFFFu;
}

}  // namespace

std::string AmtelcoIdentificationText(int32_t value, int32_t digit) {
    return platform::Format("XPO%.4XF%.1d", LowWord(value), digit);
}

std::string AmtelcoInformationRequestText(int32_t number, int32_t value) {
    return platform::Format("QMT%01d%04X", number, LowWord(value));
}

std::string AmtelcoCrossConnectText(int32_t amtelcoSlot, int32_t deviceSlot, int32_t tx,
                                    int32_t rx) {
    constexpr int32_t kStream = AmtelcoTables::kTimeslotsPerBusStream;
    return platform::Format("XC%02X%02X%02X%02X%02X%02X%02X%02X", LowByte(amtelcoSlot / kStream),
                            LowByte(amtelcoSlot % kStream), LowByte(deviceSlot / kStream),
                            LowByte(deviceSlot % kStream), LowByte(tx / kPositionsPerGroup),
                            LowByte(tx % kPositionsPerGroup), LowByte(rx / kPositionsPerGroup),
                            LowByte(rx % kPositionsPerGroup));
}

}  // namespace ruzd::node
