#include "app/service/service_event_source.h"

#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::app {
namespace {

std::string FormatNumber(uint32_t number, bool hex) {
    return platform::Format(hex ? "%08X" : "%u", number);
}

}  // namespace

CServiceEventSource::CServiceEventSource() = default;

CServiceEventSource::CServiceEventSource(std::string server, std::string source, std::string log)
    : server_(std::move(server)), source_(std::move(source)), log_(std::move(log)) {}

CServiceEventSource::CServiceEventSource(std::string server, std::string source)
    : server_(std::move(server)), source_(std::move(source)) {}

CServiceEventSource::~CServiceEventSource() {
    Deregister();
}

bool CServiceEventSource::Attach(platform::EventSourceHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (handle_ != handle) {
        Deregister();
    }
    handle_ = handle;
    return true;
}

bool CServiceEventSource::Register(std::string_view server, std::string_view source) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    Deregister();
    server_ = std::string(server);
    source_ = std::string(source);
    handle_ = platform::RegisterEventSource(server, source);
    return handle_ != nullptr;
}

bool CServiceEventSource::Deregister() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (handle_ == nullptr) {
        return true;
    }
    const bool result = platform::DeregisterEventSource(handle_);
    handle_ = nullptr;
    return result;
}

bool CServiceEventSource::IsRegistered() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return handle_ != nullptr;
}

void CServiceEventSource::SetSourceName(std::string source) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    source_ = std::move(source);
}

bool CServiceEventSource::Report(uint16_t type, uint16_t category, uint32_t eventId,
                                 std::string_view userSid, const std::vector<std::string>& strings,
                                 std::string_view data) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (handle_ == nullptr) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    return platform::ReportEvent(handle_, type, category, eventId, userSid, strings, data);
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId) {
    return Report(type, 0, eventId, {}, {}, {});
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, std::string_view text) {
    return Report(type, 0, eventId, {}, {std::string(text)}, {});
}

bool CServiceEventSource::Report(uint16_t type, std::string_view text) {
    return Report(type, kTextEventId, text);
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, std::string_view text,
                                 std::string_view text2) {
    return Report(type, 0, eventId, {}, {std::string(text), std::string(text2)}, {});
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, std::string_view text,
                                 std::string_view text2, std::string_view text3) {
    return Report(type, 0, eventId, {}, {std::string(text), std::string(text2), std::string(text3)},
                  {});
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, std::string_view text,
                                 std::string_view text2, uint32_t number, bool hex) {
    return Report(type, eventId, text, text2, FormatNumber(number, hex));
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, std::string_view text,
                                 uint32_t number, bool hex) {
    return Report(type, eventId, text, std::string_view(FormatNumber(number, hex)));
}

bool CServiceEventSource::Report(uint16_t type, uint32_t eventId, uint32_t number, bool hex) {
    return Report(type, eventId, std::string_view(FormatNumber(number, hex)));
}

}  // namespace ruzd::app
