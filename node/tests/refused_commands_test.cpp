// Commands whose values the argument reader refuses (missing, or of the wrong type), sent on
// the node's command port: those the central server waits for an answer from still get the
// answer their handler gives when the vendor call fails; the others get nothing.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "node/refusal_replies.h"
#include "node/tests/isdn_node_fixture.h"

namespace ruzd::node {
namespace {

using net::COutputStreamSocket;
using testing::MessagePayload;
using testing::Payload;

// A byte string where a number or a text is expected: refused by every read but a block's.
void Mistyped(COutputStreamSocket& writer) {
    const uint8_t byte = 1;
    writer.WriteBytes(&byte, 1);
}

struct RefusedCase {
    const char* name;
    int32_t code;
    ruzd::testing::ValueWriter values;
    std::vector<Payload> answers;
};

Payload Ints(int32_t code, std::vector<int32_t> values) {
    return MessagePayload(code, [values](auto& w) {
        for (int32_t value : values) {
            w.WriteInt(value);
        }
    });
}

const std::vector<RefusedCase>& Cases() {
    static const std::vector<RefusedCase> cases = {
        {"DXOPEN without its channel",
         45,
         [](auto& w) { w.WriteInt(7).WriteInt(1); },
         {Ints(8, {7, -1, -1})}},
        {"DXOPEN with a text for its line device",
         45,
         [](auto& w) { w.WriteString("7").WriteInt(1).WriteInt(4); },
         {Ints(8, {0, -1, -1})}},
        {"DXGQUA with a text for its template",
         116,
         [](auto& w) { w.WriteUInt(9).WriteString("x"); },
         {MessagePayload(24, [](auto& w) { w.WriteUInt(9).WriteInt(-1); })}},
        {"CCGINF without values",
         83,
         {},
         {MessagePayload(11, [](auto& w) { w.WriteString("").WriteInt(-1); })}},
        {"CCGBCS with a byte string", 93, Mistyped, {Ints(14, {0, -1})}},
        {"CFAUTO without its maximum", 158, [](auto& w) { w.WriteInt(1); }, {Ints(35, {1, 0})}},
        {"CNPING with a text", 12, [](auto& w) { w.WriteString("x"); }, {Ints(1, {0})}},
        {"GCGLDS with a text for its information type",
         132,
         [](auto& w) { w.WriteInt(3).WriteInt(12).WriteString("x"); },
         {Ints(32, {12, 0, -1})}},
        {"GCMKCA without its time-out",
         133,
         [](auto& w) { w.WriteInt(3).WriteInt(12).WriteLong(0).WriteString("123"); },
         {Ints(12, {12, 3, -1, 0x801, 0})}},
        {"SIREGI without its texts",
         161,
         [](auto& w) { w.WriteLong(44); },
         {MessagePayload(37, [](auto& w) { w.WriteLong(44).WriteInt(0).WriteInt(0); })}},
        {"DXDIAL without its mode",
         36,
         [](auto& w) { w.WriteUInt(5).WriteString("123"); },
         {Ints(4, {5, 132, -1})}},
        {"DXPIOT without its mode",
         47,
         [](auto& w) { w.WriteUInt(5); },
         {Ints(5, {5, 0x2B67, -1})}},
        {"MSCFRE with a byte string", 126, Mistyped, {Ints(30, {0, -1})}},
        // The central server waits for nothing from these. Message 31 would tell it that the
        // node took it on, so a CNINIT that does not read gets no answer at all.
        {"CNINIT without the central host", 11, [](auto& w) { w.WriteInt(0); }, {}},
        {"DXSPAR without its value", 52, [](auto& w) { w.WriteInt(5).WriteUInt(1); }, {}},
        {"CCOPEN with a text", 85, [](auto& w) { w.WriteString("1"); }, {}},
        {"DXRIOT without its mode", 48, [](auto& w) { w.WriteUInt(5); }, {}},
        {"GCWCAL without its line device", 130, [](auto& w) { w.WriteInt(3); }, {}},
    };
    return cases;
}

constexpr bool Answers(RefusalReply reply) {
    return reply != nullptr;
}

struct ListedCommand {
    int32_t code;
    const char* word;
    bool answers;
};

const std::vector<ListedCommand> kListed = {
#define RUZD_COMMAND(code, word, refusal) {code, #word, Answers(refusal_replies::refusal)},
#include "node/command_list.inc"
#undef RUZD_COMMAND
};

class RefusedCommandsTest : public testing::IsdnNodeTest {
protected:
    // What the command's frame got back before a keep-alive sent after it was answered.
    std::vector<Payload> AnswersTo(int32_t code, const ruzd::testing::ValueWriter& values) {
        peer_->Send(code, 30, values);
        Sync();
        return Replies();
    }
};

TEST_F(RefusedCommandsTest, ARefusedCommandGetsTheAnswerOfItsFailedVendorCall) {
    for (const RefusedCase& refused : Cases()) {
        EXPECT_EQ(AnswersTo(refused.code, refused.values), refused.answers) << refused.name;
    }
    // Refused, none of them reached the libraries.
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
}

// Every command of the list that names an answer sends it when refused at its first value;
// every other one sends nothing. CNSTGR and CNSTOP read no value: run, they would end the
// session this test needs.
TEST_F(RefusedCommandsTest, EveryListedCommandAnswersAsTheListSays) {
    for (const ListedCommand& command : kListed) {
        const std::string word = command.word;
        if (word == "CNSTGR" || word == "CNSTOP") {
            continue;
        }
        const std::vector<Payload> answers = AnswersTo(command.code, Mistyped);
        if (command.answers) {
            EXPECT_FALSE(answers.empty()) << word << " left the central server waiting";
        } else {
            EXPECT_TRUE(answers.empty()) << word << " answered a refused command";
        }
    }
}

}  // namespace
}  // namespace ruzd::node
