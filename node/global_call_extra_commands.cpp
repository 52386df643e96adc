// The central server's Global Call commands beyond the call flow: user information, alarm
// notification, the reset of an IP channel's quality alarms, accepting a call modification and
// vendor extensions. Their parameter blocks are built from the command's bytes and freed when
// the command ends.

#include <optional>
#include <string>
#include <vector>

#include "node/global_call_values.h"
#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/vendorapi/ipm.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// The QoS alarms of an IP channel's media that IMRESE resets, each to state 0.
constexpr uint32_t kResetQosAlarms[] = {2, 3, 5, 6};
constexpr const char* kInvalidBlock = "Invalid parameter block!";

// A byte count and that many bytes. A count the wire cannot mean is refused before anything is
// allocated: false then, with nothing read after it, and for bytes of another length.
bool ReadCountedBytes(CommandArguments& args, std::vector<uint8_t>* bytes) {
    int32_t count = 0;
    args.Int(count);
    if (!IsWireCount(count)) {
        return false;
    }
    bytes->resize(static_cast<size_t>(count));
    return count == 0 || args.Bytes(bytes->data(), count);
}

// Reads the byte count and the bytes that end the command, and enters it. False when the
// command is refused, or after "Invalid parameter block!" for bytes it cannot use.
bool EnterWithBytes(CommandArguments& args, std::vector<uint8_t>* bytes) {
    const bool read = ReadCountedBytes(args, bytes);
    if (!args.Enter()) {
        return false;
    }
    if (!read) {
        args.TraceLine(kInvalidBlock);
    }
    return read;
}

}  // namespace

bool CVesmarinManager::FindMediaDevice(CommandArguments& args, int32_t type, int32_t handle,
                                       const char* call, int32_t* media) {
    if (type != kPortTypeGlobalCallIp) {
        args.TraceLine(std::string(call) + " Non IP Device RET=ERROR");
        return false;
    }
    if (hardware_->gc_GetResourceH(handle, media, GC_MEDIADEVICE) == 0 && *media != -1) {
        return true;
    }
    args.TraceLine(std::string(call) + " GetResourceH for media failed");
    return false;
}

// Target 16 names the line device's current call; a line device without one sets nothing.
void CVesmarinManager::SocketCmdGCSUIN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t targetType = 0;
    int32_t targetId = 0;
    int32_t duration = 0;
    std::vector<uint8_t> bytes;
    TypedLine(args, type, ldev).Int(targetType).Long(targetId).Int(duration);
    if (!EnterWithBytes(args, &bytes)) {
        return;
    }
    int32_t handle = -1;
    if (!FindTypedLine(args, ldev, type, "gc_SetUserInfo", &handle)) {
        return;
    }
    if (targetType == GC_TARGET_CALL && !call_refs_.GetCallRef(ldev, type, &targetId)) {
        args.TraceLine("gc_SetUserInfo ldev=UNKNOWN RET=ERROR");
        return;
    }
    std::vector<uint8_t> block = ParameterBlock(bytes, kFilledBlockTail, kFilledBlockByte);
    const int32_t result = hardware_->gc_SetUserInfo(ldev, targetType, targetId,
                                                     ParameterBlockPointer(block), duration);
    args.TraceLine(Format("gc_SetUserInfo ldev=%d target_type=%d target_id=%d RET=%d", ldev,
                          targetType, targetId, result));
}

// An IP channel's alarms come from its media device: once notification is on there, the media
// device is known as the channel's, so that its alarms reach the central server for the
// channel's line device.
void CVesmarinManager::SocketCmdGCSANA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    uint32_t source = 0;
    int32_t value = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).UInt(source).Int(value).Enter() ||
        !FindTypedLine(args, ldev, type, "gc_SetAlarmNotifyAll", &handle)) {
        return;
    }
    if (type == kPortTypeNetwork) {
        const int32_t result = hardware_->gc_SetAlarmNotifyAll(handle, source, value);
        args.TraceLine(result == 0
                           ? Format("gc_SetAlarmNotifyAll ldev=%d RET=%d", handle, result)
                           : std::string("gc_SetAlarmNotifyAll SetAlarmNotifyAll for DTI failed"));
        return;
    }
    int32_t media = -1;
    if (!FindMediaDevice(args, type, handle, "gc_SetAlarmNotifyAll", &media)) {
        return;
    }
    if (hardware_->gc_SetAlarmNotifyAll(media, source, value) != 0) {
        args.TraceLine("gc_SetAlarmNotifyAll SetAlarmNotifyAll for media failed");
        return;
    }
    devices_.HandleLdevs().Set(media, ldev);
    devices_.PortTypes().Set(media, kPortTypeGlobalCallIp);
    args.TraceLine(Format("gc_SetAlarmNotifyAll ldev=%d RET=0", handle));
}

void CVesmarinManager::SocketCmdIMRESE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!EnterOnTypedLine(args, type, ldev, "ipm_ResetQoSAlarmStatus", &handle)) {
        return;
    }
    int32_t media = -1;
    if (!FindMediaDevice(args, type, handle, "ipm_ResetQoSAlarmStatus", &media)) {
        return;
    }
    IPM_QOS_ALARM_STATUS record{};
    for (const uint32_t alarm : kResetQosAlarms) {
        record.QoSData[record.unAlarmCount++] = {alarm, 0};
    }
    if (hardware_->ipm_ResetQoSAlarmStatus(media, &record, static_cast<uint16_t>(kAsyncMode)) !=
        0) {
        args.TraceLine("ipm_ResetQoSAlarmStatus SetAlarmNotifyAll for media failed");
    }
}

// The mode and block are read only once the device is known; a frame that ends before the mode
// asks for the asynchronous form. A failure is told to the central server as a text for the
// command.
void CVesmarinManager::SocketCmdGCAMOC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    if (!TypedLine(args, type, ldev).Long(crn).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!devices_.GetDeviceHandle(ldev, type, &handle) || handle == -1) {
        args.TraceLine("Unknown device");
        return;
    }
    uint32_t mode = kAsyncMode;
    std::vector<uint8_t> bytes;
    if (args.Stream().HasMoreData()) {
        args.Stream().ReadUInt(mode);
        const bool bytesRead = ReadCountedBytes(args, &bytes);
        if (!args.AllRead()) {
            return;
        }
        if (!bytesRead) {
            args.TraceLine(kInvalidBlock);
            return;
        }
    }
    std::vector<uint8_t> block = ParameterBlock(bytes, kZeroedBlockTail, 0);
    const int32_t result =
        hardware_->gc_AcceptModifyCall(ldev, crn, ParameterBlockPointer(block), mode);
    args.TraceLine(Format("gc_AcceptModifyCall RC=%d", result));
    if (result != 0) {
        GC_INFO info{};
        hardware_->gc_ErrorInfo(&info);
        messages_.ChannelText(listener_.get(), current_command_id_,
                              GlobalCallErrorText("gc_AcceptModifyCall", info));
    }
}

// Target 12 is the line device itself, 16 its current call.
void CVesmarinManager::SocketCmdGCEXTE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t targetType = 0;
    int32_t type = 0;
    uint32_t ldev = 0;
    uint8_t extensionId = 0;
    std::vector<uint8_t> bytes;
    args.Int(targetType).Int(type);
    args.Channel(static_cast<foundation::EDebugChannelType>(PortTypeToLogChannel(type)))
        .Line(ldev)
        .Show(static_cast<int32_t>(ldev));
    args.Stream().ReadByte(extensionId);
    args.Show(int32_t{extensionId});
    if (!EnterWithBytes(args, &bytes)) {
        return;
    }
    const auto line = static_cast<int32_t>(ldev);
    int32_t handle = -1;
    if (!FindTypedLine(args, line, type, "gc_Extension", &handle)) {
        return;
    }
    int32_t targetId = handle;
    if (targetType == GC_TARGET_CALL) {
        if (!call_refs_.GetCallRef(line, type, &targetId)) {
            args.TraceLine("gc_Extension ldev=UNKNOWN RET=ERROR");
            return;
        }
    } else if (targetType != GC_TARGET_LINEDEV) {
        args.TraceLine(Format("gc_Extension: target_type %d", targetType));
        return;
    }
    std::vector<uint8_t> block = ParameterBlock(bytes, kZeroedBlockTail, 0);
    GC_PARM_BLKP returned = nullptr;
    hardware_->gc_Extension(line, targetType, targetId, extensionId, ParameterBlockPointer(block),
                            &returned, kAsyncMode);
    if (returned != nullptr) {
        hardware_->gc_util_delete_parm_blk(&returned);
    }
}

}  // namespace ruzd::node
