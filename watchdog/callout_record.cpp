#include "watchdog/callout_record.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/btrieve_engine.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

constexpr uint32_t kSmallTimeLimit = 1000000000;
constexpr uint32_t kSmallTimeShift = 0x83AC4E90;
constexpr const char* kCalloutText = "No heartbeat";
constexpr size_t kTextFieldBytes = 58;

template <typename T>
void Put(CalloutRecord& record, size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}

// The whole field: the text, then zeros, always one NUL at the end at least.
void PutText(CalloutRecord& record, size_t offset, size_t size, const char* text) {
    std::memset(record.data() + offset, 0, size);
    std::memcpy(record.data() + offset, text, ::strnlen(text, size - 1));
}

}  // namespace

uint32_t ToRecordTime(int64_t seconds) {
    uint32_t value = static_cast<uint32_t>(seconds);
    if (value < kSmallTimeLimit) {
        value += kSmallTimeShift;
    }
    return value == 0xFFFFFFFF ? 0 : value;
}

void FillCalloutRecord(CalloutRecord& record, uint32_t id, int64_t now,
                       const WatchdogOptions& options) {
    const platform::LocalTime local = platform::ToLocalTime(now).value_or(platform::LocalTime{});
    Put<uint32_t>(record, 12, id);
    Put<uint16_t>(record, 16, 0);
    Put<int64_t>(record, 18, static_cast<int64_t>(static_cast<uint32_t>(now)));
    Put<uint16_t>(record, 26, static_cast<uint16_t>(local.second));
    Put<uint16_t>(record, 28, static_cast<uint16_t>(local.minute));
    Put<uint16_t>(record, 30, static_cast<uint16_t>(local.hour));
    Put<uint16_t>(record, 32, static_cast<uint16_t>(local.day));
    Put<uint16_t>(record, 34, static_cast<uint16_t>(local.month - 1));
    Put<uint16_t>(record, 36, static_cast<uint16_t>(local.year - 1900));
    Put<uint32_t>(record, 44, ToRecordTime(now));
    record[51] = 0x14;
    record[52] = 0x02;
    record[53] = 0;
    record[54] = 0;
    PutText(record, 55, kPhoneFieldBytes, options.phone.data());
    PutText(record, 72, kTextFieldBytes, kCalloutText);
    Put<uint32_t>(record, 132, 0xFFFFFFFF);
    record[136] = 1;
    Put<uint32_t>(record, 137, 0xFFFFFFFF);
    Put<int32_t>(record, 141, options.project);
    Put<uint16_t>(record, 145, static_cast<uint16_t>(options.language));
    Put<int32_t>(record, 147, options.state);
    record[153] |= 0x7F;
    record[162] = static_cast<uint8_t>((record[162] & 0xF0) | 0x07);
}

void AddCalloutRecord(const WatchdogOptions& options) {
    if (options.callout_file.empty() || options.phone[0] == '\0') {
        return;
    }
    uint8_t position[platform::kBtrievePositionBlockSize] = {};
    CalloutRecord record{};
    uint16_t length = kCalloutRecordSize;
    std::string name = platform::Utf8ToCp1252(options.callout_file);
    std::string key(256, '\0');
    std::memcpy(key.data(), name.data(), std::min(name.size(), key.size() - 1));
    int16_t status = platform::BtrieveCall(platform::kBtrieveOpen, position, record.data(), &length,
                                           key.data(), 0);
    if (status != 0) {
        WriteLogFormat("Error adding callout record (B_OPEN BTrieve error %d)", status);
        return;
    }
    uint32_t id_base = 0;
    length = kCalloutRecordSize;
    status = platform::BtrieveCall(platform::kBtrieveGetLast, position, record.data(), &length,
                                   key.data(), 0);
    if (status != platform::kBtrieveEndOfFile) {
        if (status != platform::kBtrieveOk) {
            WriteLogFormat("Error adding callout record (B_GETLAST BTrieve error %d)", status);
        }
        // After another failure the buffer holds what the engine left there.
        std::memcpy(&id_base, record.data() + 12, sizeof id_base);
    }
    FillCalloutRecord(record, id_base + 1, platform::NowSeconds(), options);
    length = kCalloutRecordSize;
    status = platform::BtrieveCall(platform::kBtrieveInsert, position, record.data(), &length,
                                   key.data(), 0);
    if (status != 0) {
        WriteLogFormat("Error adding callout record (B_INSERT BTrieve error %d)", status);
    }
    length = kCalloutRecordSize;
    platform::BtrieveCall(platform::kBtrieveClose, position, record.data(), &length, key.data(), 0);
}

}  // namespace ruzd::watchdog
