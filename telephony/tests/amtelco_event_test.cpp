// An Amtelco board's messages as events: the decoding rules on their own, and the facade
// reading the simulated boards' messages and query answers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "telephony/amtelco_event.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct DecodeCase {
    uint8_t group;
    uint8_t type;
    std::string text;
    int32_t event;
    int32_t extra;
    bool known;
};

TEST(AmtelcoEventTest, EachRuleGivesItsEvent) {
    const DecodeCase cases[] = {
        {2, 2, "IA", 0, -1, true},
        {2, 2, "IB", -1, -1, false},
        {10, 2, "EF0", 1, -1, true},
        {3, 7, "EF", 2, -1, true},  // the missing third character is not '0'
        {3, 7, "EF1", 2, -1, true},
        {10, 3, "ER0", 3, -1, true},
        {3, 11, "ER2", 4, -1, true},
        {10, 2, "ER0", -1, -1, false},  // a restore of the wrong type
        {16, 0, "QMT0ABCD0000F3", 5, 3, true},
        {16, 0, "QMT0ABCD0000N0", 6, -1, true},
        {16, 0, "QMT2ABCD0000F7", 7, 7, true},
        {16, 0, "QMT2ABCD0000N0", 8, -1, true},
        {16, 0, "QMT1ABCD0000F3", -1, -1, true},
        {16, 0, "QMT0ABCD0000F", -1, -1, true},  // too short for the digit
        {16, 0, "QMT2AB", -1, -1, true},
        {16, 1, "QMT0ABCD0000F3", -1, -1, false},
        {5, 1, "anything", -1, -1, false},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.group) + " " + std::to_string(c.type) + " " + c.text);
        const AmtelcoEvent decoded = DecodeAmtelcoMessage(c.group, c.type, c.text);
        EXPECT_EQ(decoded.event, c.event);
        EXPECT_EQ(decoded.extra, c.extra);
        EXPECT_EQ(decoded.known, c.known);
    }
}

class AmtelcoEventFacadeTest : public FacadeBoardsimTest {
protected:
    struct Read {
        int32_t result;
        int32_t event;
        int32_t extra;
        std::string text;
    };

    Read Next(TestFacade& hardware, uint8_t board) {
        Read read{0, 0, 0, "untouched"};
        read.result = hardware.GetAmtelcoEvent(board, &read.event, &read.extra, &read.text);
        return read;
    }
};

TEST_F(AmtelcoEventFacadeTest, MessagesComeBeforeQueryAnswersAndUnknownOnesAreLogged) {
    TestFacade hardware;
    ASSERT_EQ(Control("boardquery 1 16 0 QMT0ABCD0000F3"), "OK");
    ASSERT_EQ(Control("boardmsg 1 5 1 odd"), "OK");
    ForgetLines();

    Read read = Next(hardware, 1);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.event, -1);
    EXPECT_EQ(read.text, "odd");
    EXPECT_THAT(NewTexts(), ElementsAre("Unknown Amtelco Event 5 1 odd"));

    ForgetLines();
    read = Next(hardware, 1);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.event, 5);
    EXPECT_EQ(read.extra, 3);
    EXPECT_EQ(read.text, "QMT0ABCD0000F3");
    EXPECT_THAT(NewTexts(), IsEmpty());

    read = Next(hardware, 1);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.event, -1);
    EXPECT_EQ(read.extra, -1);
}

// The 32nd character of a text always reads as '0', and a text that fills the buffer to its
// end is taken whole, never read past it.
TEST_F(AmtelcoEventFacadeTest, LongTextsAreBoundedByTheBuffer) {
    TestFacade hardware;
    const std::string longest(sizeof(XDS_MSG) - XDS_MSG_TEXT_OFFSET, 'x');
    ASSERT_EQ(Control("boardmsg 2 5 1 " + longest), "OK");
    Read read = Next(hardware, 2);
    EXPECT_EQ(read.result, 1);
    std::string expected = longest;
    expected[31] = '0';
    EXPECT_EQ(read.text, expected);
}

}  // namespace
}  // namespace ruzd::telephony
