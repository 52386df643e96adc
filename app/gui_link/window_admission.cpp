#include "app/gui_link/window_admission.h"

#include <optional>
#include <utility>

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "platform/clock.h"
#include "platform/process_identity.h"

namespace ruzd::app {

namespace {

bool IsLoopback(uint32_t address) {
    return (address >> 24) == 127;
}

void LogToDebugFile(const std::string& line) {
    node::ManagerLog(foundation::kDebugChannelSocket, foundation::kDebugNone, line);
}

}  // namespace

WindowAdmission::WindowAdmission(uint32_t owner,
                                 std::shared_ptr<foundation::AddressGate> other_machines,
                                 OwnerLookup lookup, Logger log)
    : owner_(owner),
      other_machines_(std::move(other_machines)),
      lookup_(std::move(lookup)),
      log_(log ? std::move(log) : Logger(LogToDebugFile)) {}

bool WindowAdmission::Admits(const platform::TcpEnd& here, const platform::TcpEnd& peer) {
    const platform::TcpPeerOwner found = lookup_(here, peer);
    if (found.place == platform::TcpPeerPlace::kThisMachine && found.uid) {
        if (*found.uid == owner_ || *found.uid == kRootUser) {
            return true;
        }
        if (FirstRefusalOfTheMinute(*found.uid)) {
            log_("GUI link: window of " + UserText(*found.uid) + " at " +
                 platform::TcpEndText(peer) + " refused: only " + UserText(owner_) +
                 " and root may use the link (logged once a minute per user)");
        }
        return false;
    }
    // A peer on the address it reached is this machine's too, whatever the table could say.
    const bool local = IsLoopback(peer.address) || peer.address == here.address;
    if (found.place == platform::TcpPeerPlace::kThisMachine || local) {
        if (FirstRefusalOfTheMinute(kUnknownUser)) {
            log_("GUI link: window at " + platform::TcpEndText(peer) +
                 " refused: the user it belongs to cannot be told (logged once a minute)");
        }
        return false;
    }
    // Another machine's window (or one the socket table could not tell): its address decides.
    if (other_machines_ && !other_machines_->AdmitsEveryone() &&
        other_machines_->Admits(peer.address)) {
        return true;
    }
    if (other_machines_ &&
        other_machines_->ShouldLogRefusal(peer.address, platform::CurrentClock().TickMs())) {
        log_("GUI link: window at " + platform::TcpEndText(peer) +
             " refused: another machine's window needs its address in \"Central Server "
             "Addresses\" (logged once a minute per address)");
    }
    return false;
}

bool WindowAdmission::FirstRefusalOfTheMinute(uint64_t key) {
    const uint64_t now = platform::CurrentClock().TickMs();
    std::lock_guard lock(lock_);
    const auto found = last_logged_.find(key);
    if (found != last_logged_.end() && now - found->second < kRefusalLogIntervalMs) {
        return false;
    }
    if (found == last_logged_.end() && last_logged_.size() >= kRememberedUsers) {
        last_logged_.clear();
    }
    last_logged_[key] = now;
    return true;
}

std::string WindowAdmission::UserText(uint32_t uid) const {
    const std::optional<std::string> name = platform::UserName(uid);
    return "user " + std::to_string(uid) + (name ? " (" + *name + ")" : std::string());
}

}  // namespace ruzd::app
