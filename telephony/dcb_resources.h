#pragma once

// The conference boards' DSP devices: one process-wide list of their handles, filled by opening
// every conference board (each DSP cleared of conferences an earlier run left on it), from
// which a conference takes a DSP with enough free resources. Every vendor call goes through the
// published facade. The operations serialise on one lock; opening waits for it without limit,
// every other operation at most DcbLockPatience() and answers its "nothing" value after a
// logged time-out.

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/timed_mutex.h"

namespace ruzd::telephony {

// A DSP with fewer free conference resources than this takes no new conference.
inline constexpr int32_t kFewestFreeConferenceResources = 3;

// Opens every conference board's DSPs and keeps those whose resources can be counted; true
// when the list holds a DSP. False at once without the facade's Dialogic path.
bool OpenAllDCBResources();
// Closes every kept DSP and empties the list.
void CloseAllDCBResources();
// Whether the list holds a DSP; true without a facade, in Global-Call-only mode and when the
// lock could not be had.
bool AreDCBResourcesOpen();
// The first DSP, in list order, with enough free resources; -1 when none.
int32_t GetFreeConferenceDCBDevice();
// The same DSP's 1-based list index; -1 when none.
int32_t GetFreeConferenceDCBDeviceIndex();
// The DSP at a 1-based index; false for an index outside the list.
bool GetDCBDevice(int32_t index, int32_t* device);

// How long the operations but the open wait for the lock: 2000 ms unless a test shortens it.
std::chrono::milliseconds DcbLockPatience();
void SetDcbLockPatience(std::chrono::milliseconds patience);
// The list's lock, for a test that holds it.
platform::TimedMutex& DcbListLock();

}  // namespace ruzd::telephony
