#pragma once

// The simulated machine: its boards and devices, the events they raise, the calls of its line
// devices, Global Call, the results of the vendor functions, the journal of calls and the
// control socket. One instance lives in the core library from its load to its unload and is
// shared by every simulated vendor library.
// It reads its environment when it starts:
//   BOARDSIM_CONFIG   the board configuration file (defaults when unset)
//   BOARDSIM_JOURNAL  the journal file (no journal when unset)
//   BOARDSIM_CONTROL  the control socket's path (no control socket when unset)

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "boardsim/core/aculab_calls.h"
#include "boardsim/core/aculab_events.h"
#include "boardsim/core/aculab_system.h"
#include "boardsim/core/amtelco_boards.h"
#include "boardsim/core/amtelco_mailbox.h"
#include "boardsim/core/board_config.h"
#include "boardsim/core/call_model.h"
#include "boardsim/core/conference_rooms.h"
#include "boardsim/core/device_catalog.h"
#include "boardsim/core/event_queue.h"
#include "boardsim/core/globalcall_library.h"
#include "boardsim/core/ip_service_requests.h"
#include "boardsim/core/journal.h"
#include "boardsim/core/line_extras.h"
#include "boardsim/core/prosody_media.h"
#include "boardsim/core/result_table.h"
#include "boardsim/core/speech_streams.h"
#include "boardsim/core/station_lines.h"
#include "boardsim/core/tdm_bus.h"
#include "boardsim/core/voice_media.h"
#include "boardsim/core/voice_recordings.h"

namespace ruzd::boardsim {

class ControlServer;

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    static Machine& Get();

    const BoardConfig& config() const { return config_; }
    const std::vector<std::string>& config_errors() const { return config_errors_; }
    DeviceCatalog& devices() { return devices_; }
    EventQueue& events() { return events_; }
    ResultTable& results() { return results_; }
    Journal& journal() { return journal_; }
    CallModel& calls() { return calls_; }
    GlobalCallLibrary& globalcall() { return globalcall_; }
    LineExtras& line_extras() { return line_extras_; }
    AmtelcoMailbox& amtelco() { return amtelco_; }
    AmtelcoBoards& amtelco_boards() { return amtelco_boards_; }
    IpServiceRequests& ip_services() { return ip_services_; }
    VoiceRecordings& recordings() { return recordings_; }
    TdmBus& bus() { return bus_; }
    VoiceMedia& media() { return media_; }
    AculabSystem& aculab() { return aculab_; }
    AculabCalls& aculab_calls() { return aculab_calls_; }
    AculabEvents& aculab_events() { return aculab_events_; }
    ProsodyMedia& prosody() { return prosody_; }
    ConferenceRooms& conferences() { return conferences_; }
    StationLines& stations() { return stations_; }
    SpeechStreams& speech() { return speech_; }

    int32_t service_state() const { return service_state_.load(); }
    void set_service_state(int32_t state) { service_state_.store(state); }

private:
    std::vector<std::string> config_errors_;  // filled while config_ is read
    BoardConfig config_;
    DeviceCatalog devices_;
    EventQueue events_;
    ResultTable results_;
    Journal journal_;
    GlobalCallLibrary globalcall_;
    CallModel calls_;  // after the events and devices it raises events for
    LineExtras line_extras_;
    AmtelcoMailbox amtelco_;
    AmtelcoBoards amtelco_boards_{amtelco_};
    IpServiceRequests ip_services_;
    VoiceRecordings recordings_{events_};
    TdmBus bus_;                                 // after the devices it numbers
    VoiceMedia media_{events_, devices_, bus_};  // after what it reads, stopped before
    AculabSystem aculab_;
    AculabCalls aculab_calls_;
    AculabEvents aculab_events_;
    ProsodyMedia prosody_{aculab_};               // after the cards whose modules it checks
    ConferenceRooms conferences_{config_, bus_};  // after the bus it takes listen slots of
    StationLines stations_;
    SpeechStreams speech_{devices_, events_};  // after what it reads, stopped before
    std::atomic<int32_t> service_state_;
    std::unique_ptr<ControlServer> control_;  // started last, stopped first
};

}  // namespace ruzd::boardsim
