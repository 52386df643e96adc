// The central server's voice commands for tones, digits and dialling: collecting digits, dialling
// with or without call-progress analysis, generating a tone, the channel's user-defined tones,
// and the library's tone templates and call-progress tone definitions, which name no device.
// Collection, dialling and tone generation end later, as events; the handlers answer only a
// start that failed.

#include <cstdint>
#include <string>

#include "foundation/debug_channel.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelVoice;
using platform::Format;

namespace {

constexpr uint16_t kVoiceAsyncMode = 0x8000;
constexpr uint16_t kCallProgressMode = 0x0001;

// A builder's values must not be negative: a negative one is taken as 0.
std::vector<uint32_t> NonNegativeValues(CommandArguments& args, int count) {
    std::vector<int32_t> read(static_cast<size_t>(count));
    for (int32_t& value : read) {
        args.Int(value);
    }
    std::vector<uint32_t> values;
    for (int32_t value : read) {
        values.push_back(value < 0 ? 0u : static_cast<uint32_t>(value));
    }
    return values;
}

std::string ValuesText(const std::vector<uint32_t>& values, const char* separator) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        text += std::to_string(values[i]);
        if (i + 1 < values.size() || *separator == ' ') {
            text += " ";
        }
    }
    return text;
}

}  // namespace

void CVesmarinManager::SocketCmdDXGDIG(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_getdig", &handle)) {
        return;
    }
    last_voice_functions_.Set(static_cast<int32_t>(ldev), TDX_GETDIG);
    std::array<DV_TPT, kTerminationEntries + 1> table{};
    table.back().tp_type = IO_EOT;
    ReadTerminations(args, table.data(), false);
    DV_DIGIT* buffer = digit_buffers_.GetOrCreate(static_cast<int32_t>(ldev));
    const int32_t result = hardware_->dx_getdig(handle, table.data(), buffer, kVoiceAsyncMode);
    args.TraceLine(Format("dx_getdig dev=%d mode=%d RC=%d", handle, kVoiceAsyncMode, result));
    if (result == -1) {
        messages_.Digits(*command, static_cast<int32_t>(ldev), "X", "", 0, 0);
    }
}

void CVesmarinManager::SocketCmdDXDIAL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    std::string dial;
    uint16_t mode = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).String(dial).Word(mode).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_dial", &handle)) {
        return;
    }
    // Parameters of another size leave the library its defaults.
    auto parameters = std::make_unique<DX_CAP>();
    if (!args.Stream().ReadBytes(parameters->ca_block, sizeof(DX_CAP))) {
        parameters.reset();
    }
    const int32_t result =
        hardware_->dx_dial(handle, dial, parameters.get(), mode | kVoiceAsyncMode);
    parameters.reset();
    args.TraceLine(
        Format("dx_dial handle=%d dial=%s mode=%u RC=%d", handle, dial.c_str(), mode, result));
    if (result != 0 && (mode & kCallProgressMode) != 0) {
        const std::string error = hardware_->ATDV_ERRMSGP(handle);
        args.TraceLine(
            Format("dx_dial Error=%d ErrorMsg=%s", hardware_->ATDV_LASTERR(handle), error.c_str()));
        messages_.CallProgressResult(
            *command, static_cast<int32_t>(ldev),
            {hardware_->ATDX_CPTERM(handle), hardware_->ATDX_CONNTYPE(handle),
             hardware_->ATDX_SHORTLOW(handle), hardware_->ATDX_LONGLOW(handle),
             hardware_->ATDX_SIZEHI(handle)});
        messages_.VoiceFunctionDone(*command, static_cast<int32_t>(ldev), TDX_DIAL, result);
    }
}

void CVesmarinManager::SocketCmdDXPLTO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    TN_GEN tone{};
    args.Line(ldev).Word(tone.tg_dflag).Word(tone.tg_freq1).Word(tone.tg_freq2);
    args.Stream().ReadShort(tone.tg_ampl1).ReadShort(tone.tg_ampl2).ReadShort(tone.tg_dur);
    int32_t handle = -1;
    if (!args.Show(tone.tg_ampl1).Show(tone.tg_ampl2).Show(tone.tg_dur).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_playtone", &handle)) {
        return;
    }
    last_voice_functions_.Set(static_cast<int32_t>(ldev), TDX_PLAYTONE);
    TransferBuffers::Hold set = NewTransferSet(handle);
    DV_TPT* terminations = ReadTerminations(args, set->terminations.data(), true);
    const int32_t result = hardware_->dx_playtone(handle, &tone, terminations, kVoiceAsyncMode);
    if (result == 0) {
        set.Started();
    }
    args.TraceLine(Format("dx_playtone handle=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXATON(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int8_t digit = 0;
    int8_t type = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Char(digit).Char(type).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_addtone", &handle)) {
        return;
    }
    const int32_t result =
        hardware_->dx_addtone(handle, static_cast<uint8_t>(digit), static_cast<uint8_t>(type));
    args.TraceLine(Format("dx_addtone dev=%d digit=%d type=%d RC=%d", handle, digit, type, result));
}

void CVesmarinManager::SocketCmdDXDTON(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Enter() || !FindVoiceChannel(args, ldev, "dx_deltones", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_deltones(handle);
    args.TraceLine(Format("dx_deltones dev=%d RET=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXDSTO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t tone = 0;
    int32_t mask = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Int(tone).Int(mask).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_distone", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_distone(handle, tone, mask);
    args.TraceLine(Format("dx_distone dev=%d tone=%d mask=%d RC=%d", handle, tone, mask, result));
}

// The device's error text is logged even after a success.
void CVesmarinManager::SocketCmdDXEBTO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t tone = 0;
    int32_t mask = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Int(tone).Int(mask).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_enbtone", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_enbtone(handle, tone, mask);
    const std::string error = hardware_->ATDV_ERRMSGP(handle);
    args.TraceLine(Format("dx_enbtone dev=%d tone=%d mask=%d RC=%d - %s", handle, tone, mask,
                          result, error.c_str()));
}

void CVesmarinManager::SocketCmdDXBDTC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    const std::vector<uint32_t> v = NonNegativeValues(args, 10);
    if (!args.Enter()) {
        return;
    }
    const int32_t result =
        hardware_->dx_blddtcad(0, 0, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
    args.TraceLine("dx_blddtcad " + ValuesText(v, " ") + Format(" RC=%d", result));
}

void CVesmarinManager::SocketCmdDXBDDT(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    const std::vector<uint32_t> v = NonNegativeValues(args, 6);
    if (!args.Enter()) {
        return;
    }
    const int32_t result = hardware_->dx_blddt(0, 0, v[0], v[1], v[2], v[3], v[4], v[5]);
    args.TraceLine("dx_blddt " + ValuesText(v, "") + Format(" RC=%d", result));
}

void CVesmarinManager::SocketCmdDXBSTC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    const std::vector<uint32_t> v = NonNegativeValues(args, 8);
    if (!args.Enter()) {
        return;
    }
    const int32_t result =
        hardware_->dx_bldstcad(0, 0, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    args.TraceLine("dx_bldstcad " + ValuesText(v, "") + Format(" RC=%d", result));
}

void CVesmarinManager::SocketCmdDXBDST(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    const std::vector<uint32_t> v = NonNegativeValues(args, 4);
    if (!args.Enter()) {
        return;
    }
    const int32_t result = hardware_->dx_bldst(0, 0, v[0], v[1], v[2], v[3]);
    args.TraceLine("dx_bldst " + ValuesText(v, "") + Format(" RC=%d", result));
}

void CVesmarinManager::SocketCmdDXCDUR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t v[5] = {};
    if (!args.Int(v[0]).Int(v[1]).Int(v[2]).Int(v[3]).Int(v[4]).Enter()) {
        return;
    }
    const int32_t result = hardware_->dx_chgdur(v[0], v[1], v[2], v[3], v[4]);
    args.TraceLine(
        Format("dx_chgdur tone=%d on=%d %d off=%d %d RC=%d", v[0], v[1], v[2], v[3], v[4], result));
}

void CVesmarinManager::SocketCmdDXCFRQ(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t v[5] = {};
    if (!args.Int(v[0]).Int(v[1]).Int(v[2]).Int(v[3]).Int(v[4]).Enter()) {
        return;
    }
    const int32_t result = hardware_->dx_chgfreq(v[0], v[1], v[2], v[3], v[4]);
    args.TraceLine(Format("dx_chgfreq tone=%d freq1=%d %d freq2=%d %d RC=%d", v[0], v[1], v[2],
                          v[3], v[4], result));
}

void CVesmarinManager::SocketCmdDXCRPC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t type = 0;
    int32_t count = 0;
    if (!args.Int(type).Int(count).Enter()) {
        return;
    }
    const int32_t result = hardware_->dx_chgrepcnt(type, count);
    args.TraceLine(Format("dx_chgrepcnt tone=%d repcnt=%d RC=%d", type, count, result));
}

}  // namespace ruzd::node
