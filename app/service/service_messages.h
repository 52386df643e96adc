#pragma once

// The service framework's string table and event ids. A message carries its insertions as "%1"
// (and "%2"); an action's failure is worded with one of them and reported with one of the
// events.

#include <cstdint>
#include <string>
#include <string_view>

namespace ruzd::app {

// Messages of the string table.
inline constexpr uint32_t kMsgInstallOpenScm = 57500;
inline constexpr uint32_t kMsgInstallLockScm = 57501;
inline constexpr uint32_t kMsgInstallCreateService = 57502;
inline constexpr uint32_t kMsgInstallEventSource = 57503;
inline constexpr uint32_t kMsgUninstallOpenScm = 57504;
inline constexpr uint32_t kMsgUninstallOpenService = 57505;
inline constexpr uint32_t kMsgUninstallWaitForStop = 57506;
inline constexpr uint32_t kMsgUninstallDeleteService = 57507;
inline constexpr uint32_t kMsgUninstallEventSource = 57508;
inline constexpr uint32_t kMsgStartFailed = 57509;
inline constexpr uint32_t kMsgStopFailed = 57510;
inline constexpr uint32_t kMsgContinueFailed = 57511;
inline constexpr uint32_t kMsgPauseFailed = 57512;
inline constexpr uint32_t kMsgStartFailedUnused = 57513;
inline constexpr uint32_t kMsgErrorAndText = 57514;
inline constexpr uint32_t kMsgUninstallStopService = 57515;
inline constexpr uint32_t kMsgStatusOpenScm = 57516;
inline constexpr uint32_t kMsgStatusOpenService = 57517;
inline constexpr uint32_t kMsgStatusStart = 57518;
inline constexpr uint32_t kMsgStatusContinue = 57519;
inline constexpr uint32_t kMsgStatusPause = 57520;
inline constexpr uint32_t kMsgStatusStop = 57521;
inline constexpr uint32_t kMsgStatusWait = 57522;
inline constexpr uint32_t kMsgStatusQuery = 57523;

// The text of a message; empty for an id the table does not hold.
std::string ServiceMessage(uint32_t id);

// A message with its insertions put in: "%1" becomes `first`, "%2" `second`.
std::string FormatServiceMessage(uint32_t id, std::string_view first, std::string_view second = {});

// Events: the life cycle's (information) and the failures' (error).
inline constexpr uint32_t kEventServiceRunning = 0x40000001;
inline constexpr uint32_t kEventServiceInstalled = 0x40000002;
inline constexpr uint32_t kEventOpenScmFailed = 0xC0000006;
inline constexpr uint32_t kEventOpenServiceFailed = 0xC0000007;
inline constexpr uint32_t kEventDeleteServiceFailed = 0xC0000008;
inline constexpr uint32_t kEventStartFailed = 0xC000000A;
inline constexpr uint32_t kEventStopFailed = 0xC000000B;
inline constexpr uint32_t kEventContinueFailed = 0xC000000C;
inline constexpr uint32_t kEventPauseFailed = 0xC000000D;
inline constexpr uint32_t kEventWaitFailed = 0xC000000E;
inline constexpr uint32_t kEventQueryStatusFailed = 0xC000000F;

}  // namespace ruzd::app
