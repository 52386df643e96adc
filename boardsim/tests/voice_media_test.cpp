// The simulated voice media through the voice library's functions: a media clock that runs as
// fast as the speed factor asks (or stands still), each way a function ends, what the library
// copies when a function is called and what it reads while the function runs, and the tone a
// recording may start with.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/crc32.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDXXMT;
using telephony::CLibSRLMT;
using telephony::VendorCall;
using ::testing::EndsWith;

uint32_t CrcOf(const std::string& bytes) {
    return foundation::GetBufferCrc32(bytes.data(), bytes.size());
}

class VoiceMediaTest : public testing::BoardsimTest {
protected:
    void SetUp() override {
        ASSERT_EQ(Control("speed 1000"), "OK");
        channel_ = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
        ASSERT_GT(channel_, 0);
    }

    // The next event's type, after which the channel's attributes tell how the function ended.
    int32_t NextEvent() {
        if (VendorCall(&srl_, &CLibSRLMT::sr_waitevt, 20000) != 0)
            return -1;
        return VendorCall(&srl_, &CLibSRLMT::sr_getevttype_0, 0);
    }
    // The next event that ends a function (digits and tones heard come as TDX_CST first).
    int32_t NextEnd() {
        for (;;) {
            const int32_t type = NextEvent();
            if (type != TDX_CST)
                return type;
        }
    }
    int32_t Attribute(int32_t (*CLibDXXMT::*attribute)(int32_t)) {
        return VendorCall(&voice_, attribute, channel_);
    }

    // Plays `data` from memory with one termination.
    int32_t Play(std::string& data, uint16_t term, uint16_t length,
                 const DX_XPB* format = nullptr) {
        iott_ = DX_IOTT{};
        iott_.io_type = IO_MEM | IO_EOT;
        iott_.io_bufp = data.data();
        iott_.io_length = static_cast<int32_t>(data.size());
        tpt_ = DV_TPT{};
        tpt_.tp_type = IO_EOT;
        tpt_.tp_termno = term;
        tpt_.tp_length = length;
        return VendorCall(&voice_, &CLibDXXMT::dx_playiottdata, channel_, &iott_, &tpt_,
                          const_cast<DX_XPB*>(format), uint16_t{0x8000});
    }

    CLibSRLMT srl_;
    CLibDXXMT voice_;
    int32_t channel_ = 0;
    DX_IOTT iott_{};
    DV_TPT tpt_{};
};

TEST_F(VoiceMediaTest, MediaTimeMovesAsManyBytesAsTheFormatCarries) {
    std::string data(100000, 'v');
    ASSERT_EQ(Control("speed 0"), "OK");      // held, so that the play is seen running
    ASSERT_EQ(Play(data, DX_MAXTIME, 5), 0);  // 500 ms at 8000 bytes a second
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_STATE), CS_PLAY);
    ASSERT_EQ(Control("speed 1000"), "OK");
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_MAXTIME);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TRCOUNT), 4000);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_STATE), CS_IDLE);

    const DX_XPB wide{1, 0, 16000, 16};  // 32000 bytes a second
    ASSERT_EQ(Play(data, DX_MAXTIME, 5, &wide), 0);
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TRCOUNT), 16000);
}

TEST_F(VoiceMediaTest, EachTerminationEndsTheFunction) {
    std::string data(100000, 'v');
    // Digits: a count, a mask; a tone; a stop; the end of the data.
    ASSERT_EQ(Play(data, DX_MAXDTMF, 2), 0);
    ASSERT_EQ(Control("digits dxxxB1C1 12"), "OK events=2");
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_MAXDTMF);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_BUFDIGS), 2);
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_clrdigbuf, channel_), 0);

    DV_TPT mask{IO_EOT, DX_DIGMASK, 0x1000, 0, 0, 0, nullptr};
    DV_DIGIT digits{};
    ASSERT_EQ(
        VendorCall(&voice_, &CLibDXXMT::dx_getdig, channel_, &mask, &digits, uint16_t{0x8000}), 0);
    ASSERT_EQ(Control("digits dxxxB1C1 9#7"), "OK events=3");
    EXPECT_EQ(NextEnd(), TDX_GETDIG);
    EXPECT_STREQ(digits.dg_value, "9#");
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_DIGIT);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_BUFDIGS), 1) << "the 7 stays buffered";

    DV_TPT quiet{IO_EOT, DX_IDDTIME, 3, 0, 0, 0, nullptr};
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_clrdigbuf, channel_), 0);
    ASSERT_EQ(
        VendorCall(&voice_, &CLibDXXMT::dx_getdig, channel_, &quiet, &digits, uint16_t{0x8000}), 0);
    EXPECT_EQ(NextEnd(), TDX_GETDIG);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_IDDTIME);

    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_bldst, 500u, 425u, 25u, 0u), 0);
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_addtone, channel_, uint8_t{0}, uint8_t{0}), 0);
    ASSERT_EQ(Play(data, DX_TONE, 500), 0);
    EXPECT_EQ(Control("tone dxxxB1C1 500"), "OK");
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_TONE);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TONEID), 500);
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_distone, channel_, 500, 0), 0);
    EXPECT_EQ(Control("tone dxxxB1C1 500"), "ERR tone not enabled");

    ASSERT_EQ(Control("speed 0"), "OK");  // media time stands still: the play keeps running
    ASSERT_EQ(Play(data, DX_MAXTIME, 0xFFFF), 0);
    std::string other(10, 'o');
    EXPECT_EQ(Play(other, DX_MAXTIME, 1), -1) << "busy";
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_stopch, channel_, uint16_t{0x8000}), 0);
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_USRSTOP);
    ASSERT_EQ(Control("speed 1000"), "OK");

    std::string short_data(1000, 's');
    ASSERT_EQ(Play(short_data, DX_MAXTIME, 100), 0);
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TERMMSK), TM_EOD);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TRCOUNT), 1000);
}

TEST_F(VoiceMediaTest, TerminationsAreCopiedAndTheListIsReadWhileThePlayRuns) {
    std::string data(100000, 'v');
    ASSERT_EQ(Play(data, DX_MAXTIME, 1), 0);
    // What the caller does to its table after the call changes nothing.
    tpt_.tp_length = 50;
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TRCOUNT), 800);

    // A memory block is read as the play goes: what the caller writes meanwhile is played.
    ASSERT_EQ(Control("speed 0"), "OK");
    std::string block(1600, 'a');
    ASSERT_EQ(Play(block, DX_MAXTIME, 100), 0);
    std::fill(block.begin(), block.end(), 'b');
    ASSERT_EQ(Control("speed 1000"), "OK");
    EXPECT_EQ(NextEnd(), TDX_PLAY);
    EXPECT_THAT(Control("query voice dxxxB1C1"),
                EndsWith("played=1600:" + std::to_string(CrcOf(std::string(1600, 'b')))));

    // A dial: 100 ms a digit, then call progress with the outcome chosen.
    ASSERT_EQ(Control("callprogress dxxxB1C1 busy"), "OK");
    ASSERT_EQ(Control("speed 0"), "OK");
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_dial, channel_, "123", nullptr, uint16_t{0x8001}),
              0);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_STATE), CS_DIAL);
    ASSERT_EQ(Control("speed 1000"), "OK");
    EXPECT_EQ(NextEnd(), TDX_CALLP);
    EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_CPTERM), CR_BUSY);
}

TEST_F(VoiceMediaTest, TheStartToneIsSentBeforeTheRecordingBegins) {
    // Another channel listens to the recording one.
    const int32_t listener = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C2", 0);
    int32_t slot = -1;
    SC_TSINFO info{1, &slot};
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_getxmitslot, channel_, &info), 0);
    for (const uint16_t mode : {uint16_t{0x8000}, uint16_t{0x8000 | RM_TONE}}) {
        ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_listen, listener, &info), 0);
        iott_ = DX_IOTT{};
        iott_.io_type = IO_EOT;
        iott_.io_fhandle = 1 << 20;  // no file: the voice goes nowhere
        iott_.io_length = -1;
        tpt_ = DV_TPT{IO_EOT, DX_MAXTIME, 1, 0, 0, 0, nullptr};
        ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_reciottdata, channel_, &iott_, &tpt_,
                             static_cast<DX_XPB*>(nullptr), mode),
                  0);
        EXPECT_EQ(NextEnd(), TDX_RECORD);
        EXPECT_EQ(Attribute(&CLibDXXMT::ATDX_TRCOUNT), 800) << "the tone is not recorded";
        ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_unlisten, listener), 0);
        // What the listener heard: silence all through, or the tone first.
        const std::string heard = Control("query heard dxxxB1C2");
        const size_t bytes = std::stoul(heard.substr(heard.find("bytes=") + 6));
        const bool silent =
            heard.ends_with(" crc=" + std::to_string(CrcOf(std::string(bytes, '\xD5'))));
        EXPECT_EQ(silent, (mode & RM_TONE) == 0) << heard;
    }
}

}  // namespace
}  // namespace ruzd::boardsim
