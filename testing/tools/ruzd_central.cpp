// ruzd-central: the tests' central server as a small command-line tool, to drive a node by hand.
// It runs one short session against a node on this machine: the keep-alive until the node
// accepts commands, the file connection's handshake and authorisation, CNINIT and CNSTRT, then
// an ISDN call on the line device 1 ("dtiB1T1") that the simulated boards raise through their
// control socket, accepted, answered, hung up by the far end, dropped, released and closed.
// Every message of the node is printed with its leading integers.
//
//   ruzd-central [--port N] [--file-port N] [--control PATH]
//
// Without --control the session ends after the line device waits for a call.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boardsim/control/control_client.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"

namespace {

using ruzd::testing::CommandPeer;
using ruzd::testing::FilePeer;

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
};

std::optional<Options> ReadOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const char* value = argv[++i];
        if (name == "--port") {
            options.port = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else if (name == "--file-port") {
            options.file_port = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else if (name == "--control") {
            options.control = value;
        } else {
            return std::nullopt;
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

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ReadOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: ruzd-central [--port N] [--file-port N] [--control PATH]\n");
        return 2;
    }
    CommandPeer peer(options->port);
    if (!peer.IsConnected() || !peer.AwaitCommandsAccepted()) {
        return Fail("the node does not answer CNPING on its command port");
    }
    std::printf("CNPING answered: the node accepts commands\n");
    const auto files = FilePeer::Authorised(options->file_port);
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
