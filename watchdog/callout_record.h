#pragma once

// The callout record: at a time-out the watchdog appends to the platform's callout file a
// record that asks for a call to the -T number about the outage. The record is a copy of the
// file's last one with the next id, the time and the options written over it.

#include <array>
#include <cstdint>

#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

inline constexpr size_t kCalloutRecordSize = 250;
using CalloutRecord = std::array<uint8_t, kCalloutRecordSize>;

// Seconds since 1970 as the record keeps them: values below 1000000000 are moved by 2209107600
// (modulo 2^32), and 0xFFFFFFFF becomes 0.
uint32_t ToRecordTime(int64_t seconds);

// Writes the id, the time (`now`, seconds since 1970) and the options' fields over `record`.
void FillCalloutRecord(CalloutRecord& record, uint32_t id, int64_t now,
                       const WatchdogOptions& options);

// Adds the record to the -F file; nothing without -F or -T. Failures are logged.
void AddCalloutRecord(const WatchdogOptions& options);

}  // namespace ruzd::watchdog
