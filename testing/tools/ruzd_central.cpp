// ruzd-central: the tests' central server as a small command-line tool, to drive a node by hand.
// It runs one short session against a node on this machine: the keep-alive until the node
// accepts commands, the file connection's handshake and authorisation, CNINIT and CNSTRT, then
// an ISDN call on the line device 1 ("dtiB1T1") that the simulated boards raise through their
// control socket, accepted, answered, hung up by the far end, dropped, released and closed.
// Every message of the node is printed with its leading integers.
//
//   ruzd-central [--port N] [--file-port N] [--control PATH] [--help]
//
// Without --control the session ends after the line device waits for a call. A node that is not
// there is told at once, by host and port, with the system's reason.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boardsim/control/control_client.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"

namespace {

using ruzd::testing::CommandPeer;
using ruzd::testing::FilePeer;
using ruzd::testing::RawConnection;

// The node runs on this machine.
constexpr const char* kHost = "127.0.0.1";

constexpr const char* kUsage =
    "usage: ruzd-central [--port N] [--file-port N] [--control PATH] [--help]\n"
    "Runs one session of a central server against the node on this machine.\n"
    "  --port N          the node's command port (default 9070)\n"
    "  --file-port N     the node's file-transfer port (default 9071)\n"
    "  --control PATH    the simulated boards' control socket: with it a call is raised on\n"
    "                    line device 1 and taken to its end; without it the session ends\n"
    "                    once the line device waits for a call\n"
    "  --help            this text\n";

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

struct Options {
    unsigned port = 9070;
    unsigned file_port = 9071;
    std::string control;
    bool help = false;
};

// A port number, none for anything else.
std::optional<unsigned> ReadPort(const char* text) {
    char* end = nullptr;
    const unsigned long port = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<unsigned>(port);
}

// The options, or none after telling on stderr what is wrong with them.
std::optional<Options> ReadOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help") {
            options.help = true;
            continue;
        }
        if (name != "--port" && name != "--file-port" && name != "--control") {
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
        const std::optional<unsigned> port = ReadPort(value);
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
    Session(CommandPeer& peer, int32_t first_id) : peer_(peer), next_id_(first_id) {}

    void Send(const char* word, int32_t code, const std::vector<int32_t>& values) {
        std::printf("-> %s (%d)", word, code);
        for (int32_t value : values) {
            std::printf(" %d", value);
        }
        std::printf("\n");
        peer_.SendInts(code, next_id_++, values);
    }

    // Prints messages until one with `code` came; false when none came in time.
    bool Await(int32_t code) {
        for (;;) {
            const std::optional<std::vector<int32_t>> message = peer_.ReceiveInts();
            if (!message || message->empty()) {
                std::printf("<- nothing came\n");
                return false;
            }
            std::printf("<- message %d:", message->front());
            for (size_t i = 1; i < message->size(); ++i) {
                std::printf(" %d", (*message)[i]);
            }
            std::printf("\n");
            if (message->front() == code) {
                return true;
            }
        }
    }

    // A keep-alive, answered once everything sent before it has run.
    bool Sync() {
        Send("CNPING", kCNPING, {next_id_});
        return Await(1);
    }

private:
    CommandPeer& peer_;
    int32_t next_id_;
};

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

    Session session(peer, 2);
    std::printf("-> CNINIT (%d), host 127.0.0.1, level 12\n", kCNINIT);
    peer.SendInit(1);
    if (!session.Await(31)) {
        return Fail("CNINIT was not answered");
    }
    session.Send("CNSTRT", kCNSTRT, {});
    session.Send("CCOPEN", kCCOPEN, {kLine});
    session.Send("CCWCAL", kCCWCAL, {kLine});
    if (!session.Sync()) {
        return Fail("the node stopped answering");
    }
    if (options->control.empty()) {
        std::printf("line device %d waits for a call; no control socket given, done\n", kLine);
        return 0;
    }

    ruzd::boardsim::ControlClient boards(options->control);
    std::printf("boards: call dtiB1T1 5551000 5552000 -> %s\n",
                boards.Send("call dtiB1T1 5551000 5552000").c_str());
    if (!session.Await(12)) {
        return Fail("no OFFERED event came");
    }
    session.Send("CCACCA", kCCACCA, {kLine, 0, 2, 0});
    session.Await(12);
    session.Send("CCANCA", kCCANCA, {kLine, 0, 0, 0});
    session.Await(12);
    std::printf("boards: hangup dtiB1T1 -> %s\n", boards.Send("hangup dtiB1T1").c_str());
    session.Await(12);
    session.Send("CCDRCA", kCCDRCA, {kLine, 0, kNormalClearing, kAsync});
    session.Await(12);
    session.Send("CCRLCA", kCCRLCA, {kLine, 0});
    session.Await(12);
    session.Send("CCCLOS", kCCCLOS, {kLine});
    if (!session.Sync()) {
        return Fail("the node stopped answering");
    }
    std::printf("call done\n");
    return 0;
}
