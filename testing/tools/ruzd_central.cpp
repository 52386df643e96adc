// ruzd-central: the tests' central server as a small command-line tool, to drive a node by hand.
// It runs one short session against a node on this machine: the keep-alive until the node
// accepts commands, the file connection's handshake and authorisation, CNINIT and CNSTRT, then
// an ISDN call on the line device 1 ("dtiB1T1") that the simulated boards raise through their
// control socket, accepted, answered, hung up by the far end, dropped, released and closed, each
// step waiting for its own event. Every message of the node is printed with its leading integers.
//
//   ruzd-central [--port N] [--file-port N] [--control PATH] [--timeout S] [--help]
//
// Without --control the session ends after the line device waits for a call. A node that is not
// there, and a control socket that is not there or that nothing listens on, are told at once,
// with the system's reason; a step that gets nothing within the time-out is named, and the
// session ends with exit status 1.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "boardsim/control/control_client.h"
#include "telephony/vendorapi/isdn.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"

namespace {

using ruzd::testing::CommandPeer;
using ruzd::testing::FilePeer;
using ruzd::testing::RawConnection;

// The node runs on this machine.
constexpr const char* kHost = "127.0.0.1";

constexpr const char* kUsage =
    "usage: ruzd-central [--port N] [--file-port N] [--control PATH] [--timeout S] [--help]\n"
    "Runs one session of a central server against the node on this machine.\n"
    "  --port N          the node's command port (default 9070)\n"
    "  --file-port N     the node's file-transfer port (default 9071)\n"
    "  --control PATH    the simulated boards' control socket: with it a call is raised on\n"
    "                    line device 1 and taken to its end; without it the session ends\n"
    "                    once the line device waits for a call\n"
    "  --timeout S       how long each step waits for the node's answer (default 60)\n"
    "  -h, --help        this text\n"
    "Exit status: 0 when the session ran to its end, 1 when a step failed (named on stderr),\n"
    "2 for options that do not read.\n";

// Command codes of the session.
constexpr int32_t kCCDRCA = 8;
constexpr int32_t kCNINIT = 11;
constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kCCACCA = 77;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCCLOS = 82;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCRLCA = 87;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kLine = 1;
constexpr int32_t kNormalClearing = 16;
constexpr int32_t kAsync = 0x8000;
// The message that carries the boards' events, and where its event code stands (behind the
// line device, port type and handle).
constexpr int32_t kEventMessage = 12;
constexpr size_t kEventCodeAt = 4;

std::string Expected(int32_t code, std::optional<int32_t> event) {
    if (!event) {
        return "no message " + std::to_string(code);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(*event));
    return "no message " + std::to_string(code) + " with event " + hex;
}

struct Options {
    unsigned port = 9070;
    unsigned file_port = 9071;
    std::string control;
    std::chrono::seconds timeout{60};
    bool help = false;
};

// A decimal number from 1 to `largest`, none for anything else.
std::optional<unsigned> ReadNumber(const char* text, unsigned long largest) {
    char* end = nullptr;
    const unsigned long number = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-' || number < 1 || number > largest) {
        return std::nullopt;
    }
    return static_cast<unsigned>(number);
}

// The options, or none after telling on stderr what is wrong with them.
std::optional<Options> ReadOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name != "--port" && name != "--file-port" && name != "--control" &&
            name != "--timeout") {
            std::fprintf(stderr, "ruzd-central: unknown option %s\n", argv[i]);
            return std::nullopt;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "ruzd-central: %s needs a value\n", argv[i]);
            return std::nullopt;
        }
        const char* value = argv[++i];
        if (name == "--control") {
            options.control = value;
            continue;
        }
        if (name == "--timeout") {
            const std::optional<unsigned> seconds = ReadNumber(value, 3600);
            if (!seconds) {
                std::fprintf(stderr,
                             "ruzd-central: --timeout %s is no number of seconds (1 to 3600)\n",
                             value);
                return std::nullopt;
            }
            options.timeout = std::chrono::seconds(*seconds);
            continue;
        }
        const std::optional<unsigned> port = ReadNumber(value, 65535);
        if (!port) {
            std::fprintf(stderr, "ruzd-central: %s %s is no port number\n", argv[i - 1], value);
            return std::nullopt;
        }
        if (name == "--port") {
            options.port = *port;
        } else {
            options.file_port = *port;
        }
    }
    return options;
}

class Session {
public:
    Session(CommandPeer& peer, int32_t first_id, std::chrono::seconds timeout)
        : peer_(peer), next_id_(first_id), timeout_(timeout) {}

    void Send(const char* word, int32_t code, const std::vector<int32_t>& values) {
        std::printf("-> %s (%d)", word, code);
        for (int32_t value : values) {
            std::printf(" %d", value);
        }
        std::printf("\n");
        peer_.SendInts(code, next_id_++, values);
    }

    // Prints messages until one with `code` came (for a device event, one with that event
    // code). When none came in time, says so on stderr, naming the step, and returns false.
    bool Await(const char* step, int32_t code, std::optional<int32_t> event = std::nullopt) {
        for (;;) {
            const std::optional<std::vector<int32_t>> message = peer_.ReceiveInts(timeout_);
            if (!message || message->empty()) {
                std::printf("<- nothing came\n");
                std::fflush(stdout);
                std::fprintf(stderr, "ruzd-central: %s: %s came within %lld s\n", step,
                             Expected(code, event).c_str(),
                             static_cast<long long>(timeout_.count()));
                return false;
            }
            std::printf("<- message %d:", message->front());
            for (size_t i = 1; i < message->size(); ++i) {
                std::printf(" %d", (*message)[i]);
            }
            std::printf("\n");
            if (message->front() == code && (!event || (message->size() > kEventCodeAt &&
                                                        (*message)[kEventCodeAt] == *event))) {
                return true;
            }
        }
    }

    // A keep-alive, answered once everything sent before it has run.
    bool Sync(const char* step) {
        Send("CNPING", kCNPING, {next_id_});
        return Await(step, 1);
    }

    // A command and the device event it brings.
    bool SendAndAwaitEvent(const char* word, int32_t code, const std::vector<int32_t>& values,
                           int32_t event) {
        Send(word, code, values);
        return Await(word, kEventMessage, event);
    }

private:
    CommandPeer& peer_;
    int32_t next_id_;
    std::chrono::seconds timeout_;
};

// The simulated boards' control socket, checked before the session starts so that a wrong path
// is told at once rather than after the node's time-out.
class Boards {
public:
    explicit Boards(std::string path) : path_(std::move(path)), client_(path_) {}

    // False, with the reason on stderr, when the path names no socket one can connect to.
    bool Reachable() {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(path_, error);
        if (!std::filesystem::exists(status)) {
            return Refuse("is not there" + (error ? " (" + error.message() + ")" : std::string()));
        }
        if (!std::filesystem::is_socket(status)) {
            return Refuse("is not a socket");
        }
        if (!client_.Connect()) {
            return Refuse("takes no connection (" + client_.error() +
                          "): are the boards' programs running with it?");
        }
        return true;
    }

    // One control command; false, with the answer on stderr, unless the boards said OK.
    bool Do(const std::string& command) {
        const std::string answer = client_.Send(command);
        std::printf("boards: %s -> %s\n", command.c_str(), answer.c_str());
        if (answer.rfind("OK", 0) == 0) {
            return true;
        }
        std::fflush(stdout);
        std::fprintf(stderr,
                     "ruzd-central: the boards' control socket %s answered \"%s\" to \"%s\"\n",
                     path_.c_str(), answer.empty() ? "nothing" : answer.c_str(), command.c_str());
        return false;
    }

private:
    bool Refuse(const std::string& why) {
        std::fprintf(stderr, "ruzd-central: the boards' control socket %s %s\n", path_.c_str(),
                     why.c_str());
        return false;
    }

    std::string path_;
    ruzd::boardsim::ControlClient client_;
};

// The call on line device 1, raised and hung up by the far end through the boards; false once a
// step failed (said on stderr).
bool RunCall(Session& session, Boards& boards) {
    if (!boards.Do("call dtiB1T1 5551000 5552000") ||
        !session.Await("the call raised on dtiB1T1 (OFFERED)", kEventMessage, CCEV_OFFERED) ||
        !session.SendAndAwaitEvent("CCACCA", kCCACCA, {kLine, 0, 2, 0}, CCEV_ACCEPT) ||
        !session.SendAndAwaitEvent("CCANCA", kCCANCA, {kLine, 0, 0, 0}, CCEV_ANSWERED) ||
        !boards.Do("hangup dtiB1T1") ||
        !session.Await("the far end's hang-up on dtiB1T1 (DISCONNECTED)", kEventMessage,
                       CCEV_DISCONNECTED) ||
        !session.SendAndAwaitEvent("CCDRCA", kCCDRCA, {kLine, 0, kNormalClearing, kAsync},
                                   CCEV_DROPCALL) ||
        !session.SendAndAwaitEvent("CCRLCA", kCCRLCA, {kLine, 0}, CCEV_RELEASECALL)) {
        return false;
    }
    session.Send("CCCLOS", kCCCLOS, {kLine});
    return session.Sync("CCCLOS");
}

int Fail(const char* what) {
    std::fprintf(stderr, "ruzd-central: %s\n", what);
    return 1;
}

// One attempt: a node that is not there is told at once rather than waited for.
std::optional<RawConnection> ConnectToNode(unsigned port) {
    std::string reason;
    RawConnection connection = RawConnection::Connect(port, &reason);
    if (!connection.valid()) {
        std::fprintf(stderr, "ruzd-central: no node at %s:%u (%s)\n", kHost, port, reason.c_str());
        return std::nullopt;
    }
    return connection;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ReadOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::optional<Boards> boards;
    if (!options->control.empty()) {
        boards.emplace(options->control);
        if (!boards->Reachable()) {
            return 1;
        }
    }
    std::optional<RawConnection> commands = ConnectToNode(options->port);
    if (!commands) {
        return 1;
    }
    CommandPeer peer(std::move(*commands));
    if (!peer.AwaitCommandsAccepted()) {
        std::fprintf(stderr, "ruzd-central: the node at %s:%u does not answer CNPING\n", kHost,
                     options->port);
        return 1;
    }
    std::printf("CNPING answered: the node accepts commands\n");
    std::optional<RawConnection> fileConnection = ConnectToNode(options->file_port);
    if (!fileConnection) {
        return 1;
    }
    const auto files = FilePeer::Authorised(std::move(*fileConnection), options->file_port);
    if (!files) {
        return Fail("the file connection was not authorised");
    }
    std::printf("file connection: handshake done, STARTS 2 answered with STARTS 1\n");

    Session session(peer, 2, options->timeout);
    std::printf("-> CNINIT (%d), host 127.0.0.1, level 12\n", kCNINIT);
    peer.SendInit(1);
    if (!session.Await("CNINIT", 31)) {
        return 1;
    }
    session.Send("CNSTRT", kCNSTRT, {});
    session.Send("CCOPEN", kCCOPEN, {kLine});
    session.Send("CCWCAL", kCCWCAL, {kLine});
    if (!session.Sync("CNSTRT, CCOPEN and CCWCAL")) {
        return 1;
    }
    if (!boards) {
        std::printf("line device %d waits for a call; no control socket given, done\n", kLine);
        return 0;
    }

    if (!RunCall(session, *boards)) {
        return 1;
    }
    std::printf("call done\n");
    return 0;
}
