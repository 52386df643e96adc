#include "app/service/service_event_record.h"

#include "platform/event_log_api.h"
#include "platform/reg_value.h"
#include "platform/text.h"

namespace ruzd::app {
namespace {

uint16_t Little16(std::string_view bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                 static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

// The zero-terminated UTF-16LE string at `offset`, and where the next one starts; none when it
// runs past `end`.
std::optional<std::string> WideString(std::string_view bytes, size_t& offset, size_t end) {
    for (size_t at = offset; at + 1 < end; at += 2) {
        if (bytes[at] == '\0' && bytes[at + 1] == '\0') {
            const std::string text =
                platform::Utf16leBytesToUtf8(bytes.substr(offset, at - offset));
            offset = at + 2;
            return text;
        }
    }
    return std::nullopt;
}

bool Within(size_t offset, size_t length, size_t end) {
    return offset <= end && length <= end - offset;
}

}  // namespace

std::optional<CServiceEventRecord> CServiceEventRecord::FromLogRecord(std::string_view bytes) {
    if (bytes.size() < platform::kEventLogRecordHeaderSize) {
        return std::nullopt;
    }
    const uint32_t length = platform::LittleEndian32(bytes, 0);
    if (length < platform::kEventLogRecordHeaderSize || length > bytes.size() ||
        platform::LittleEndian32(bytes, 4) != platform::kEventLogRecordSignature) {
        return std::nullopt;
    }
    CServiceEventRecord record;
    record.recordNumber = platform::LittleEndian32(bytes, 8);
    record.timeGenerated =
        std::chrono::sys_seconds(std::chrono::seconds(platform::LittleEndian32(bytes, 12)));
    record.timeWritten =
        std::chrono::sys_seconds(std::chrono::seconds(platform::LittleEndian32(bytes, 16)));
    record.eventId = platform::LittleEndian32(bytes, 20);
    record.eventType = Little16(bytes, 24);
    const uint16_t stringCount = Little16(bytes, 26);
    record.eventCategory = Little16(bytes, 28);
    const uint32_t stringOffset = platform::LittleEndian32(bytes, 36);
    const uint32_t sidLength = platform::LittleEndian32(bytes, 40);
    const uint32_t sidOffset = platform::LittleEndian32(bytes, 44);
    const uint32_t dataLength = platform::LittleEndian32(bytes, 48);
    const uint32_t dataOffset = platform::LittleEndian32(bytes, 52);
    if (!Within(sidOffset, sidLength, length) || !Within(dataOffset, dataLength, length) ||
        stringOffset > length) {
        return std::nullopt;
    }
    record.userSid = std::string(bytes.substr(sidOffset, sidLength));
    record.data = std::string(bytes.substr(dataOffset, dataLength));
    size_t offset = platform::kEventLogRecordHeaderSize;
    const std::optional<std::string> source = WideString(bytes, offset, length);
    const std::optional<std::string> computer =
        source ? WideString(bytes, offset, length) : std::nullopt;
    if (!computer) {
        return std::nullopt;
    }
    record.sourceName = *source;
    record.computerName = *computer;
    offset = stringOffset;
    for (uint16_t i = 0; i < stringCount; ++i) {
        const std::optional<std::string> text = WideString(bytes, offset, length);
        if (!text) {
            return std::nullopt;
        }
        record.strings.push_back(*text);
    }
    return record;
}

}  // namespace ruzd::app
