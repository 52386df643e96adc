#include "boardsim/core/line_extras.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace ruzd::boardsim {

std::string HexText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

std::vector<uint8_t> ParameterBlockBytes(const std::vector<uint8_t>& bytes) {
    const auto size = static_cast<uint16_t>(bytes.size());
    // Made at its full size and filled in place: g++ 12 at -O3 takes an insert after the size
    // for a write past the vector's end.
    std::vector<uint8_t> block(sizeof size + bytes.size());
    std::memcpy(block.data(), &size, sizeof size);
    std::copy(bytes.begin(), bytes.end(), block.begin() + sizeof size);
    return block;
}

void LineExtras::SetMedia(int32_t line, int32_t media) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].media = media;
    media_lines_[media] = line;
}

std::optional<int32_t> LineExtras::MediaOf(int32_t line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    return it == lines_.end() ? std::nullopt : it->second.media;
}

bool LineExtras::IsMedia(int32_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return media_lines_.count(device) != 0;
}

std::optional<int32_t> LineExtras::Forget(int32_t line) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return std::nullopt;
    const std::optional<int32_t> media = it->second.media;
    lines_.erase(it);
    if (media) {
        media_lines_.erase(*media);
        lines_.erase(*media);
    }
    return media;
}

void LineExtras::SetParameter(int32_t line, int32_t id, int32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].parameters[id] = value;
}

void LineExtras::SetEventMask(int32_t line, uint32_t mask, int32_t action) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].event_mask = std::make_pair(mask, action);
}

void LineExtras::SetDChannelConfiguration(int32_t line, std::vector<uint8_t> block) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].dchannel = std::move(block);
}

void LineExtras::SetProgress(int32_t line, int32_t indicator) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].progress = indicator;
}

void LineExtras::SetSentMessage(int32_t line, SentMessage message) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].message = std::move(message);
}

void LineExtras::SetTrace(int32_t line, int32_t file, std::string path) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].trace_file = file;
    lines_[line].trace_path = std::move(path);
}

std::optional<int32_t> LineExtras::Trace(int32_t line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    return it == lines_.end() ? std::nullopt : it->second.trace_file;
}

std::optional<int32_t> LineExtras::EndTrace(int32_t line) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return std::nullopt;
    return std::exchange(it->second.trace_file, std::nullopt);
}

void LineExtras::SetAlarmNotify(int32_t device, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[device].alarm_notify = on;
}

bool LineExtras::AlarmNotify(int32_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const int32_t key : {device, 0}) {
        const auto it = lines_.find(key);
        if (it != lines_.end() && it->second.alarm_notify)
            return true;
    }
    return false;
}

void LineExtras::NoteAlarm(int32_t device, int32_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int32_t>& alarms = lines_[device].alarms;
    if (alarms.size() < kMaxAlarms)
        alarms.push_back(number);
}

std::vector<int32_t> LineExtras::Alarms(int32_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(device);
    return it == lines_.end() ? std::vector<int32_t>() : it->second.alarms;
}

void LineExtras::SetUserInformation(int32_t line, UserInformation information) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].user_information = std::move(information);
}

std::optional<UserInformation> LineExtras::UserInformationOf(int32_t line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    return it == lines_.end() ? std::nullopt : it->second.user_information;
}

void LineExtras::SetQosReset(int32_t device, std::vector<uint8_t> record) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[device].qos = std::move(record);
}

std::optional<std::vector<uint8_t>> LineExtras::QosReset(int32_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(device);
    return it == lines_.end() ? std::nullopt : it->second.qos;
}

void LineExtras::SetPendingModification(int32_t line, int32_t crn) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line].pending_modification = crn;
}

bool LineExtras::TakePendingModification(int32_t line, int32_t crn) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    if (it == lines_.end() || it->second.pending_modification != crn)
        return false;
    it->second.pending_modification.reset();
    return true;
}

std::string LineExtras::Describe(int32_t line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return std::string();
    const Extras& extras = it->second;
    std::string text;
    if (extras.media)
        text += " media=" + std::to_string(*extras.media);
    for (const auto& [id, value] : extras.parameters)
        text += " parm=" + std::to_string(id) + ":" + std::to_string(value);
    if (extras.event_mask)
        text += " evtmsk=" + std::to_string(extras.event_mask->first) + ":" +
                std::to_string(extras.event_mask->second);
    if (extras.dchannel)
        text += " dchancfg=" + HexText(*extras.dchannel);
    if (extras.progress)
        text += " progress=" + std::to_string(*extras.progress);
    if (extras.message)
        text += " sndmsg=" + std::to_string(extras.message->type) + ":" +
                std::to_string(extras.message->crn) + ":" + HexText(extras.message->library_part) +
                ":" + HexText(extras.message->elements);
    if (extras.trace_file)
        text += " trace=" + extras.trace_path;
    return text;
}

}  // namespace ruzd::boardsim
