#pragma once

// One Aculab card: the id it was opened under, its serial number and description, which of its
// capabilities (call control, switch, Prosody speech processing, IP telephony) are open, and the
// handles of its net ports and Prosody modules.

#include <cstdint>
#include <string>
#include <vector>

namespace ruzd::telephony {

class CAculabCard {
public:
    CAculabCard(int32_t card_id, std::string serial_number)
        : card_id_(card_id), serial_number_(std::move(serial_number)) {}

    // 0 while the card is not open.
    int32_t GetCardId() const { return card_id_; }
    void SetCardId(int32_t card_id) { card_id_ = card_id; }
    const std::string& GetSerialNumber() const { return serial_number_; }
    const std::string& GetCardInfoText() const { return card_info_text_; }
    void SetCardInfoText(std::string text) { card_info_text_ = std::move(text); }

    // Each flag only ever goes from 0 to 1.
    int32_t IsCallOpen() const { return call_open_; }
    void SetCallOpen() { call_open_ = 1; }
    int32_t IsSwitchOpen() const { return switch_open_; }
    void SetSwitchOpen() { switch_open_ = 1; }
    int32_t IsSpeechOpen() const { return speech_open_; }
    void SetSpeechOpen() { speech_open_ = 1; }
    int32_t IsIPTelephonyOpen() const { return ip_telephony_open_; }
    void SetIPTelephonyOpen() { ip_telephony_open_ = 1; }

    // A count also sizes its handle array, every handle 0. A handle at or beyond the array's
    // size is ignored when set and 0 when read.
    int32_t GetNetPortCount() const { return net_port_count_; }
    void SetNetPortCount(int32_t count);
    int32_t GetNetPortType() const { return net_port_type_; }
    void SetNetPortType(int32_t type) { net_port_type_ = type; }
    int32_t GetNetPort(int32_t index) const { return At(net_ports_, index); }
    void SetNetPort(int32_t index, int32_t handle) { Store(net_ports_, index, handle); }

    int32_t GetProsodyModuleCount() const { return prosody_module_count_; }
    void SetProsodyModuleCount(int32_t count);
    int32_t GetProsodyModule(int32_t index) const { return At(prosody_modules_, index); }
    void SetProsodyModule(int32_t index, int32_t handle) { Store(prosody_modules_, index, handle); }

private:
    static int32_t At(const std::vector<int32_t>& handles, int32_t index);
    static void Store(std::vector<int32_t>& handles, int32_t index, int32_t handle);

    int32_t card_id_;
    std::string serial_number_;
    std::string card_info_text_;
    int32_t call_open_ = 0;
    int32_t switch_open_ = 0;
    int32_t speech_open_ = 0;
    int32_t ip_telephony_open_ = 0;
    int32_t net_port_count_ = 0;
    int32_t net_port_type_ = 0;
    int32_t prosody_module_count_ = 0;
    std::vector<int32_t> prosody_modules_;
    std::vector<int32_t> net_ports_;
};

}  // namespace ruzd::telephony
