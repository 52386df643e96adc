#include "boardsim/core/machine.h"

#include <cstdio>
#include <cstdlib>

#include "boardsim/core/amtelco_commands.h"
#include "boardsim/core/control_commands.h"
#include "boardsim/core/control_server.h"
#include "boardsim/core/media_commands.h"

namespace ruzd::boardsim {
namespace {

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

BoardConfig LoadConfig(std::vector<std::string>* errors) {
    const char* path = Env("BOARDSIM_CONFIG");
    BoardConfig config = BoardConfig::Load(path, errors);
    for (const std::string& error : *errors)
        std::fprintf(stderr, "boardsim: %s: %s\n", path, error.c_str());
    return config;
}

// The machine lives exactly as long as the core library is loaded.
Machine* g_machine = nullptr;

struct MachineLifetime {
    MachineLifetime() { g_machine = new Machine(); }
    ~MachineLifetime() {
        delete g_machine;
        g_machine = nullptr;
    }
} g_machine_lifetime;

}  // namespace

Machine::Machine()
    : config_(LoadConfig(&config_errors_)),
      devices_(config_),
      results_(config_.results),
      journal_(Env("BOARDSIM_JOURNAL")),
      globalcall_(config_.failing_cclibs),
      calls_(events_, devices_, config_),
      bus_(devices_.BusDevices(), config_.pinned_slots, &config_errors_),
      aculab_(config_.aculab_cards),
      service_state_(config_.service_state) {
    media_.SetSpeed(config_.speed);
    speech_.SetSpeed(config_.speed);
    for (const auto& [device, words] : config_.sources) {
        const std::optional<MediaSource> source = ReadSource(words);
        if (!source || !media_.SetSource(device, *source))
            config_errors_.push_back("source " + device + ": cannot be read");
    }
    for (const std::vector<std::string>& words : config_.amtelco_rings) {
        if (!SetAmtelcoRing(amtelco_boards_, words))
            config_errors_.push_back("amtelcoring: cannot be read");
    }
    if (const char* path = Env("BOARDSIM_CONTROL")) {
        control_ = std::make_unique<ControlServer>(
            path, [this](const std::string& line) { return ExecuteControlCommand(*this, line); });
        if (!control_->ok())
            std::fprintf(stderr, "boardsim: cannot listen on %s\n", path);
    }
}

Machine::~Machine() {
    control_.reset();
    events_.Shutdown();
    aculab_events_.Shutdown();
}

Machine& Machine::Get() {
    return *g_machine;
}

}  // namespace ruzd::boardsim
