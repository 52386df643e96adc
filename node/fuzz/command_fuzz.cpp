// Fuzz entry over the command handlers' reading of their values: commands of every family, with
// values of any kind and number, sent by the active central server over the command port of a
// manager that runs on the simulated boards in this process.
//
// Input: commands, each a byte that picks the command, a byte that gives the count of values and
// then the values, each a tag byte (0 integer of the next 4 bytes, 1 text of the length in the
// next byte, 2 bytes of that length, 3 a single byte) and its data. The session commands that
// start, stop or re-initialise the node are left out: they would make the runs depend on each
// other through threads and clocks rather than through the tables the handlers fill.
//
// Checked besides memory safety: after every input the node still answers a keep-alive on the
// same connection.
//
// It runs with -timeout=0 and -detect_leaks=0 unless told otherwise (FLAGS in CMakeLists.txt).
// libFuzzer's timer signal would cut short the central server's waits for the node's replies,
// which the keep-alive check then takes for a node that stopped answering. And the node keeps
// what the commands opened from one input to the next, so after almost every input libFuzzer
// would see more allocations than frees and search the whole heap for a leak, which costs more
// than the input; leaks are still reported when the process ends.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "node/tests/isdn_node_fixture.h"
#include "testing/fuzz_check.h"
#include "testing/temp_root.h"

namespace {

// The commands whose values the fuzzer writes. RTSTAR stays out: it would send datagrams to
// whatever address the input names; so do the voice-file commands, which wait for files from
// the central server.
constexpr int32_t kCodes[] = {
    12,  9,   10,  79,  82,  85,  86,  88,  89,  90,  95,  96,  8,   77,  78,  80,  81,  84,
    87,  91,  97,  98,  83,  92,  93,  94,  125, 25,  33,  34,  44,  45,  49,  50,  51,  52,
    53,  76,  116, 117, 158, 74,  75,  16,  17,  18,  19,  20,  21,  22,  23,  1,   2,   3,
    4,   99,  100, 62,  63,  64,  65,  66,  67,  68,  123, 124, 126, 69,  70,  71,  72,  73,
    147, 148, 149, 150, 151, 152, 153, 154, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136,
    137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 155, 156, 157, 159, 165, 160, 161, 163,
    164, 26,  27,  28,  29,  30,  31,  32,  35,  36,  37,  38,  39,  43,  54,  46,  47,  48};

// The working folder of the node below, made before it and removed after it: the node writes
// files there, some of them named by the input.
struct OwnWorkFolder {
    ruzd::testing::TempWorkFolder work;
};

// The node with its active central server, made once for the process.
class Node : private OwnWorkFolder, public ruzd::node::testing::IsdnNodeTest {
public:
    Node() {
        SetUp();
        FUZZ_CHECK(peer_ && manager_->IsConnectedSocket(nullptr));
    }
    ~Node() override { TearDown(); }
    void TestBody() override {}

    ruzd::testing::CommandPeer& Peer() { return *peer_; }
    // True when the node answered a keep-alive sent after everything before it.
    bool Answers() {
        const int32_t value = ++keep_alive_;
        peer_->SendInts(12, value, {value});
        const ruzd::testing::Payload echo =
            ruzd::testing::MessagePayload(1, [value](auto& writer) { writer.WriteInt(value); });
        while (const std::optional<ruzd::testing::Payload> payload = peer_->Receive()) {
            if (*payload == echo) {
                return true;
            }
        }
        return false;
    }

private:
    int32_t keep_alive_ = 1000;
};

Node& TheNode() {
    static Node node;
    return node;
}

// Reads the input from the front; every read past its end yields zeros.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Text(size_t length) {
        std::string text;
        while (text.size() < length && !AtEnd()) {
            text += static_cast<char>(Byte());
        }
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Node& node = TheNode();
    InputReader input(data, size);
    int32_t id = 100;
    while (!input.AtEnd()) {
        const int32_t code = kCodes[input.Byte() % std::size(kCodes)];
        const int count = input.Byte() % 16;
        node.Peer().Send(code, ++id, [&](ruzd::net::COutputStreamSocket& writer) {
            for (int i = 0; i < count && !input.AtEnd(); ++i) {
                switch (input.Byte() % 4) {
                    case 0: {
                        uint32_t value = 0;
                        for (int b = 0; b < 4; ++b) {
                            value = value << 8 | input.Byte();
                        }
                        writer.WriteInt(static_cast<int32_t>(value));
                        break;
                    }
                    case 1:
                        writer.WriteString(input.Text(input.Byte()));
                        break;
                    case 2: {
                        const std::string bytes = input.Text(input.Byte());
                        writer.WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<int>(bytes.size()));
                        break;
                    }
                    default:  // a small number, negative ones included
                        writer.WriteInt(static_cast<int8_t>(input.Byte()) / 8);
                        break;
                }
            }
        });
    }
    FUZZ_CHECK(node.Answers());
    return 0;
}
