// The central server's ISDN call-control commands: each reads its values from the command,
// finds the network line's vendor handle, calls the call-control function through the hardware
// facade and logs the call with its result. A few answer on the command's connection.
//
// The library writes the call reference of a waited-for or made call into the line device's
// entry of the call-reference table from its own thread, after the function has returned; the
// entries never move, so the address handed over stays good for as long as the library may
// use it.

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "foundation/debug_function.h"
#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::CDebugFunction;
using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// The narrow buffer the trace file's path is copied into.
constexpr size_t kTraceFileBufferSize = 260;

void Log(CDebugFunction& trace, const std::string& line) {
    trace.BeginLine()->Append(line).EndLine();
}

}  // namespace

void CVesmarinManager::RegisterIsdnCallControlCommands() {
    commands_[8] = {"CCDRCA", &CVesmarinManager::SocketCmdCCDRCA};
    commands_[9] = {"CCSTAT", &CVesmarinManager::SocketCmdCCSTAT};
    commands_[10] = {"CCSTOT", &CVesmarinManager::SocketCmdCCSTOT};
    commands_[77] = {"CCACCA", &CVesmarinManager::SocketCmdCCACCA};
    commands_[78] = {"CCANCA", &CVesmarinManager::SocketCmdCCANCA};
    commands_[79] = {"CCBLOC", &CVesmarinManager::SocketCmdCCBLOC};
    commands_[80] = {"CCCAAC", &CVesmarinManager::SocketCmdCCCAAC};
    commands_[81] = {"CCCAPR", &CVesmarinManager::SocketCmdCCCAPR};
    commands_[82] = {"CCCLOS", &CVesmarinManager::SocketCmdCCCLOS};
    commands_[83] = {"CCGINF", &CVesmarinManager::SocketCmdCCGINF};
    commands_[84] = {"CCMKCA", &CVesmarinManager::SocketCmdCCMKCA};
    commands_[85] = {"CCOPEN", &CVesmarinManager::SocketCmdCCOPEN};
    commands_[86] = {"CCREST", &CVesmarinManager::SocketCmdCCREST};
    commands_[87] = {"CCRLCA", &CVesmarinManager::SocketCmdCCRLCA};
    commands_[88] = {"CCSCHS", &CVesmarinManager::SocketCmdCCSCHS};
    commands_[89] = {"CCSEVM", &CVesmarinManager::SocketCmdCCSEVM};
    commands_[90] = {"CCUNBL", &CVesmarinManager::SocketCmdCCUNBL};
    commands_[91] = {"CCWCAL", &CVesmarinManager::SocketCmdCCWCAL};
    commands_[92] = {"CCGDCS", &CVesmarinManager::SocketCmdCCGDCS};
    commands_[93] = {"CCGBCS", &CVesmarinManager::SocketCmdCCGBCS};
    commands_[94] = {"CCSDCC", &CVesmarinManager::SocketCmdCCSDCC};
    commands_[95] = {"CCOPEB", &CVesmarinManager::SocketCmdCCOPEB};
    commands_[96] = {"CCCAVA", &CVesmarinManager::SocketCmdCCCAVA};
    commands_[97] = {"CCGMDI", &CVesmarinManager::SocketCmdCCGMDI};
    commands_[98] = {"CCSMSG", &CVesmarinManager::SocketCmdCCSMSG};
    commands_[125] = {"CCSIEL", &CVesmarinManager::SocketCmdCCSIEL};
}

bool CVesmarinManager::FindIsdnLine(CDebugFunction& trace, int32_t ldev, const char* call,
                                    int32_t* handle) {
    if (GetNetworkDeviceHandle(ldev, handle) && *handle != -1) {
        return true;
    }
    Log(trace, std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

std::optional<CRN> CVesmarinManager::IsdnCallOf(int32_t ldev, CRN received) {
    CRN current = 0;
    const bool kept = GetCallRef(ldev, kNetworkLinePortType, &current);
    return ResolveCrn(received, kept ? std::optional<CRN>(current) : std::nullopt);
}

void CVesmarinManager::SetCallRefValid(int32_t ldev, int32_t type, bool valid) {
    callRefs_.SetCallRefValid(ldev, type, valid);
}

void CVesmarinManager::ReportIsdnPortStatus(int32_t ldev, const char* text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(kNetworkLinePortType, ldev, text, 0);
    }
}

// Records an opened line device under its number and its handle. A line device whose open
// failed keeps the handle -1, so that later commands on it fail their lookup rather than reach
// whatever device the library might hand that value to.
void CVesmarinManager::RegisterIsdnLine(int32_t ldev, int32_t result, LINEDEV handle) {
    if (result == -1 || handle == -1) {
        AddNetworkDevice(ldev, -1);
        return;
    }
    AddNetworkDevice(ldev, handle);
    AddHandleLdev(handle, ldev);
    SetDevicePortType(handle, kNetworkLinePortType);
}

// Opens a B channel ("dtiB<board>T<slot>") or a whole trunk board ("dtiB<board>").
void CVesmarinManager::SocketCmdCCOPEN(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCOPEN", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    const std::string name = TrunkDeviceName(ldev);
    LINEDEV handle = -1;
    if (ldev >= kBoardLineDeviceBase) {
        const int32_t result = hardware_->cc_Open(0, &handle, name.c_str(), 0);
        RegisterIsdnLine(ldev, result, handle);
        Log(trace, Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
        if (result != 0 && listener_) {
            // A board that did not open is reported as an event of its own.
            messages_.DeviceEventWithWord(
                *listener_, {ldev, kNetworkLinePortType, handle, kBoardOpenedEvent, 0},
                kBoardOpenedWord);
        }
        return;
    }

    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    if (result != -1) {
        ++openChannels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    Log(trace, Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
    const int32_t parameterResult =
        hardware_->cc_SetParm(handle, kBChannelParameter, kBChannelParameterValue);
    Log(trace, Format("cc_SetParm RET=%d", parameterResult));
}

// Opens a BRI channel ("briS<station>T<slot>") or a whole BRI station ("briS<station>").
void CVesmarinManager::SocketCmdCCOPEB(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t station = 0;
    int32_t timeSlot = 0;
    command->ReadInt(ldev).ReadInt(station).ReadInt(timeSlot);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCOPEB", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(station)
        .Append(timeSlot)
        .EndLine();

    const std::string name = BriDeviceName(ldev, station, timeSlot);
    LINEDEV handle = -1;
    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    // Only channels count as open channels: a station is closed as one line device, so
    // counting it would let the count drift from the channels the central server holds.
    if (result != -1 && ldev < kBoardLineDeviceBase) {
        ++openChannels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    Log(trace, Format("cc_Open (bri) ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
}

void CVesmarinManager::SocketCmdCCCLOS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCLOS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    // The table stays locked from the lookup to the removal, so that no other thread finds a
    // line device that is being closed.
    std::lock_guard lock(Devices().Lock(DeviceHandleTables::Family::kNetwork));
    int32_t handle = -1;
    if (!GetNetworkDeviceHandle(ldev, &handle) || handle == -1) {
        Log(trace, "cc_Close dev=UNKNOWN RET=ERROR");
        return;
    }
    const int32_t result = hardware_->cc_Close(ldev, handle);
    if (result != -1) {
        if (ldev < kBoardLineDeviceBase) {
            --openChannels_;
        }
        ReportIsdnPortStatus(ldev, "Closed");
    }
    Log(trace, Format("cc_Close ldev=%d RET=%d", handle, result));
    RemoveNetworkDevice(ldev);
    RemoveHandleLdev(handle);
}

void CVesmarinManager::SocketCmdCCSCHS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t channelState = 0;
    uint32_t mode = 0;
    int32_t nrpra = 0;
    int32_t reset = 0;
    command->ReadInt(ldev).ReadInt(channelState).ReadUInt(mode).ReadInt(nrpra).ReadInt(reset);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSCHS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(channelState)
        .Append(Format("%u", mode))
        .Append(nrpra)
        .Append(reset)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetChanState", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetChanState(
        ldev, handle, channelState, static_cast<int32_t>(kAsyncMode), nrpra, reset);
    Log(trace, Format("cc_SetChanState ldev=%d chanstate=%d mode=%u nrpra=%d reset=%d RET=%d",
                      handle, channelState, mode, nrpra, reset, result));
}

// Restarts a line device: its calls are gone, so its call reference goes too, whatever the
// library answers.
void CVesmarinManager::SocketCmdCCREST(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCREST", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_Restart", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_Restart(ldev, handle, mode);
    Log(trace, Format("cc_Restart ldev=%d mode=%u RET=%d", handle, mode, result));
    SetCallRef(ldev, kNetworkLinePortType, 0, false);
}

// Waits for calls: the library writes each offered call's reference into the line device's
// call-reference entry (none for a line device without one; the reference still comes with the
// offered event).
void CVesmarinManager::SocketCmdCCWCAL(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCWCAL", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_WaitCall", &handle)) {
        return;
    }
    CRN* slot = GetCallRefSlot(ldev, kNetworkLinePortType);
    const int32_t result = hardware_->cc_WaitCall(ldev, handle, slot, nullptr, -1, kAsyncMode);
    Log(trace, Format("cc_WaitCall ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::RunAcceptOrAnswer(net::CClientStreamSocket* command, const char* word,
                                         const char* call, bool answer) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t rings = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(rings).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter(std::string("SocketCmd") + word, currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(rings)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, call, &handle)) {
        return;
    }
    const std::optional<CRN> callCrn = IsdnCallOf(ldev, crn);
    if (!callCrn) {
        return;
    }
    const int32_t result = answer ? hardware_->cc_AnswerCall(ldev, *callCrn, rings, kAsyncMode)
                                  : hardware_->cc_AcceptCall(ldev, *callCrn, rings, kAsyncMode);
    Log(trace, Format("%s ldev=%d crn=%d rings=%d mode=%u RET=%d", call, handle, *callCrn, rings,
                      mode, result));
}

void CVesmarinManager::SocketCmdCCACCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "CCACCA", "cc_AcceptCall", false);
}

void CVesmarinManager::SocketCmdCCANCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "CCANCA", "cc_AnswerCall", true);
}

void CVesmarinManager::SocketCmdCCSEVM(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    uint32_t mask = 0;
    int32_t action = 0;
    command->ReadInt(ldev).ReadUInt(mask).ReadInt(action);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSEVM", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(Format("%u", mask))
        .Append(action)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetEvtMsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetEvtMsk(ldev, handle, mask, action);
    Log(trace,
        Format("cc_SetEvtMsk ldev=%d mask=%u action=%d RET=%d", handle, mask, action, result));
}

// Drops a call with the mode the central server chose, and logs the line device's last error
// text with the result.
void CVesmarinManager::SocketCmdCCDRCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t cause = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(cause).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCDRCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(cause)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_DropCall", &handle)) {
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_DropCall(ldev, *call, cause, mode);
    const std::string error = hardware_->ATDV_ERRMSGP(handle);
    Log(trace, Format("cc_DropCall ldev=%d crn=%d cause=%d mode=%u RET=%d - %s", handle, *call,
                      cause, mode, result, error.c_str()));
}

// Traces the line device into a file, named as the central server names it (through the file
// map).
void CVesmarinManager::SocketCmdCCSTAT(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    std::string path;
    command->ReadInt(ldev).ReadString(path);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSTAT", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(path)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_StartTrace", &handle)) {
        return;
    }
    FileMapping(path);
    char file[kTraceFileBufferSize] = {};
    const std::string narrow = platform::Utf8ToCp1252(path);
    std::memcpy(file, narrow.data(), std::min(narrow.size(), sizeof file - 1));
    const int32_t result = hardware_->cc_StartTrace(handle, file);
    Log(trace, Format("cc_StartTrace ldev=%d file=%s RET=%d", handle, path.c_str(), result));
}

void CVesmarinManager::SocketCmdCCSTOT(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCSTOT", "cc_StopTrace",
                  [this](int32_t, int32_t handle) { return hardware_->cc_StopTrace(handle); });
}

// The cause value call is given the device handle as its value.
void CVesmarinManager::SocketCmdCCCAVA(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCCAVA", "cc_CauseValue", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_CauseValue(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCBLOC(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCBLOC", "cc_BlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_BlockTs(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCUNBL(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCUNBL", "cc_UnBlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_UnBlockTs(ldev, handle);
    });
}

void CVesmarinManager::RunOnIsdnLine(
    net::CClientStreamSocket* command, const char* word, const char* call,
    const std::function<int32_t(int32_t ldev, int32_t handle)>& run) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter(std::string("SocketCmd") + word, currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, call, &handle)) {
        return;
    }
    const int32_t result = run(ldev, handle);
    Log(trace, Format("%s ldev=%d RET=%d", call, handle, result));
}

// Makes a call. The library writes the new call's reference into the line device's entry
// later; a call made is then the line device's current call.
void CVesmarinManager::SocketCmdCCMKCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN unusedCrn = 0;
    std::string number;
    int32_t timeout = 0;
    command->ReadInt(ldev).ReadLong(unusedCrn).ReadString(number).ReadInt(timeout);
    // A number the library's buffer cannot hold is dropped whole rather than cut.
    std::string narrowNumber = platform::Utf8ToCp1252(number);
    if (narrowNumber.size() > kMaxPhoneNumberLength) {
        narrowNumber.clear();
        number.clear();
    }
    CDebugFunction trace;
    trace.Enter("SocketCmdCCMKCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(unusedCrn)
        .Append(number)
        .Append(timeout)
        .EndLine();

    MAKECALL_BLK block{};
    if (!command->ReadBytes(block.mc_block, sizeof block.mc_block)) {
        Log(trace, "Invalid MAKECALL_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_MakeCall", &handle)) {
        return;
    }
    CRN* slot = GetCallRefSlot(ldev, kNetworkLinePortType);
    // Without an entry the library would have nowhere to put the call's reference: no call.
    const int32_t result = slot == nullptr
                               ? -1
                               : hardware_->cc_MakeCall(ldev, handle, slot, narrowNumber.c_str(),
                                                        &block, timeout, kAsyncMode);
    Log(trace, Format("cc_MakeCall ldev=%d crn=lCRN phonenum=%s timeout=%d RC=%d", handle,
                      number.c_str(), timeout, result));
    if (result == 0) {
        SetCallRefValid(ldev, kNetworkLinePortType, true);
        ReportIsdnPortStatus(ldev, "Busy");
    }
}

void CVesmarinManager::SocketCmdCCRLCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    command->ReadInt(ldev).ReadLong(crn);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCRLCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_ReleaseCallEx(ldev, *call, kAsyncMode);
    Log(trace, Format("cc_ReleaseCallEx crn=%d RC=%d", *call, result));
}

void CVesmarinManager::SocketCmdCCCAPR(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t indicator = 0;
    int8_t fromScenario = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(indicator).ReadChar(fromScenario);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCAPR", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(indicator)
        .Append(int32_t{fromScenario})
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_CallProgress(ldev, *call, indicator, fromScenario);
    Log(trace, Format("cc_CallProgress crn=%d ind=%d fromscen=%d RC=%d", *call, indicator,
                      int32_t{fromScenario}, result));
}

// Acknowledges the line device's current call, whatever crn the central server sent.
void CVesmarinManager::SocketCmdCCCAAC(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageId = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(messageId);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCAAC", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(messageId)
        .EndLine();

    CRN current = 0;
    if (!GetCallRef(ldev, kNetworkLinePortType, &current)) {
        return;
    }
    const int32_t result = hardware_->cc_CallAck(ldev, current, messageId);
    Log(trace, Format("cc_CallAck crn=%d msgid=%d RC=%d", current, messageId, result));
}

// Answers with the line device's information elements as hex text (message 11); an unknown
// line device gets an empty text and -1.
void CVesmarinManager::SocketCmdCCGINF(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGINF", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_GetInfoElem", &handle)) {
        messages_.InfoElementText(*command, "", -1);
        return;
    }
    IE_BLK block{};
    const int32_t result = hardware_->cc_GetInfoElem(ldev, handle, &block);
    const std::string text = InfoElementHex(block);
    Log(trace, Format("cc_GetInfoElement str=%s RC=%d", text.c_str(), result));
    messages_.InfoElementText(*command, text, result);
}

// Answers with the B channel's state (message 14), -1 when it could not be read; nothing for an
// unknown line device.
void CVesmarinManager::SocketCmdCCGBCS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGBCS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!GetNetworkDeviceHandle(ldev, &handle) || handle == -1) {
        return;
    }
    int32_t state = 0;
    if (hardware_->cc_GetBChanState(ldev, handle, &state) != 0) {
        state = -1;
    }
    messages_.BChannelState(*command, ldev, state);
}

// Answers with the D channel's state (message 15), as the B channel's.
void CVesmarinManager::SocketCmdCCGDCS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGDCS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!GetNetworkDeviceHandle(ldev, &handle) || handle == -1) {
        return;
    }
    int32_t state = 0;
    if (hardware_->cc_GetDChanState(ldev, handle, &state) != 0) {
        state = -1;
    }
    messages_.DChannelState(*command, ldev, state);
}

void CVesmarinManager::SocketCmdCCSDCC(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSDCC", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetDChanCfg", &handle)) {
        return;
    }
    DCHAN_CFG config{};
    if (!command->ReadBytes(config.dc_block, sizeof config.dc_block)) {
        return;
    }
    const int32_t result = hardware_->cc_SetDChanCfg(handle, &config);
    Log(trace, Format("cc_SetDChanCfg ldev=%d RET=%d", handle, result));
}

// Collects more digits of the current call; only the asynchronous form is served.
void CVesmarinManager::SocketCmdCCGMDI(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t count = 0;
    int32_t timeout = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(count).ReadLong(timeout).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGMDI", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(count)
        .Append(timeout)
        .Append(Format("%u", mode))
        .EndLine();

    if (mode != kAsyncMode) {
        Log(trace, "Not implemented for EV_SYNC!");
        return;
    }
    if (!IsWireCount(count)) {
        Log(trace, "Invalid digit count!");
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_GetMoreDigits(ldev, *call, count, timeout, mode);
    Log(trace, Format("cc_GetMoreDigits crn=%d NumDig=%d Timeout=%d crn=RET=%d", *call, count,
                      timeout, result));
}

// Sends a call-control message with information elements; a block of the wrong size, or one
// whose length runs past its end, is sent empty.
void CVesmarinManager::SocketCmdCCSMSG(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageType = 0;
    IE_BLK block{};
    command->ReadInt(ldev).ReadLong(crn).ReadInt(messageType);
    if (!command->ReadBytes(reinterpret_cast<uint8_t*>(&block), sizeof block) ||
        !HasValidLength(block)) {
        block = IE_BLK{};
    }
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSMSG", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(messageType)
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_SndMsg(ldev, *call, messageType, &block);
    Log(trace, Format("cc_SndMsg crn=%d msg_type=%d RET=%d", *call, messageType, result));
}

void CVesmarinManager::SocketCmdCCSIEL(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSIEL", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    // A block whose length runs past its end would have the library read beyond it.
    IE_BLK block{};
    if (!command->ReadBytes(reinterpret_cast<uint8_t*>(&block), sizeof block) ||
        !HasValidLength(block)) {
        Log(trace, "Invalid IE_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetInfoElem", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetInfoElem(handle, &block);
    Log(trace, Format("cc_SetInfoElem ldev=%d RC=%d", handle, result));
}

}  // namespace ruzd::node
