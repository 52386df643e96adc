#pragma once

// What Global Call keeps of a line device beside its calls: the media device an IP line device
// opened with it, the parameters, event mask, D-channel configuration, call progress and
// messages the application set or sent, a trace file, the alarm notification of media devices
// with the alarms they raised, the user information, the QoS alarm reset and a pending call
// modification. Blocks are copied when the function is called; the caller may free its own at
// once. Each line device is keyed by its handle.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::boardsim {

// The user information a line device or call was given.
struct UserInformation {
    int32_t target_type = 0;
    int32_t target_id = 0;
    std::vector<uint8_t> block;  // the parameter block: its 16-bit size and that many bytes
    int32_t duration = 0;
};

// A message sent with gc_SndMsg.
struct SentMessage {
    int32_t type = 0;
    int32_t crn = 0;
    std::vector<uint8_t> library_part;  // Global Call's 8 bytes, empty without them
    std::vector<uint8_t> elements;      // the information elements, empty without them
};

class LineExtras {
public:
    // The alarms gc_GetAlarmConfiguration lists at most.
    static constexpr size_t kMaxAlarms = 48;

    void SetMedia(int32_t line, int32_t media);
    // The media device of an IP line device, and the line device of a media device.
    std::optional<int32_t> MediaOf(int32_t line) const;
    bool IsMedia(int32_t device) const;
    // Forgets the line device; the media device it opened, if any, is handed back.
    std::optional<int32_t> Forget(int32_t line);

    void SetParameter(int32_t line, int32_t id, int32_t value);
    void SetEventMask(int32_t line, uint32_t mask, int32_t action);
    void SetDChannelConfiguration(int32_t line, std::vector<uint8_t> block);
    void SetProgress(int32_t line, int32_t indicator);
    void SetSentMessage(int32_t line, SentMessage message);

    // The trace file's handle of a line device, if it traces.
    void SetTrace(int32_t line, int32_t file, std::string path);
    std::optional<int32_t> Trace(int32_t line) const;
    std::optional<int32_t> EndTrace(int32_t line);

    // Alarm notification of a device (0: every device).
    void SetAlarmNotify(int32_t device, bool on);
    bool AlarmNotify(int32_t device) const;
    void NoteAlarm(int32_t device, int32_t number);
    std::vector<int32_t> Alarms(int32_t device) const;

    void SetUserInformation(int32_t line, UserInformation information);
    std::optional<UserInformation> UserInformationOf(int32_t line) const;

    // The 132 bytes of the last QoS alarm reset.
    void SetQosReset(int32_t device, std::vector<uint8_t> record);
    std::optional<std::vector<uint8_t>> QosReset(int32_t device) const;

    // The call whose modification the far end asked for, on its line device.
    void SetPendingModification(int32_t line, int32_t crn);
    // True, and the modification is no longer pending, when it was pending for the call.
    bool TakePendingModification(int32_t line, int32_t crn);

    // " <key>=<value>" for each thing kept of the line device; empty when none.
    std::string Describe(int32_t line) const;

private:
    struct Extras {
        std::optional<int32_t> media;
        std::map<int32_t, int32_t> parameters;
        std::optional<std::pair<uint32_t, int32_t>> event_mask;
        std::optional<std::vector<uint8_t>> dchannel;
        std::optional<int32_t> progress;
        std::optional<SentMessage> message;
        std::optional<int32_t> trace_file;
        std::string trace_path;
        bool alarm_notify = false;
        std::vector<int32_t> alarms;
        std::optional<UserInformation> user_information;
        std::optional<std::vector<uint8_t>> qos;
        std::optional<int32_t> pending_modification;
    };

    mutable std::mutex mutex_;
    std::map<int32_t, Extras> lines_;
    std::map<int32_t, int32_t> media_lines_;  // media device -> its line device
};

std::string HexText(const std::vector<uint8_t>& bytes);

// The parameter bytes the control socket puts into one block at most.
inline constexpr size_t kMaxParameterBytes = 4096;
// A parameter block of the bytes: their 16-bit size, then the bytes.
std::vector<uint8_t> ParameterBlockBytes(const std::vector<uint8_t>& bytes);

}  // namespace ruzd::boardsim
