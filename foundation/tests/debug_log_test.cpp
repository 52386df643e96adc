#include "foundation/debug_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foundation/app_hooks.h"
#include "foundation/debug_banner.h"
#include "foundation/debug_function.h"
#include "foundation/tests/debug_log_fixture.h"
#include "foundation/trace.h"
#include "foundation/utilities.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;

constexpr const char* kFile = "Tav12081405.deb";

TEST_F(DebugLogTest, NewFileStartsWithTheBannerAndTheFirstLine) {
    StartDebugLog(kPrefix, 0, true, 0);
    StopDebugLog();
    const std::vector<std::string> lines = ReadLines(kFile);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], std::string(100, '-'));
    EXPECT_THAT(lines[1], ::testing::MatchesRegex("\tLog file opened for foundation_debug_log_test "
                                                  "version [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+ "
                                                  "as an NT service interval=5 min"));
    EXPECT_EQ(lines[1], "\tLog file opened for foundation_debug_log_test version " +
                            GetExeFileVersion(true) + " as an NT service interval=5 min");
    EXPECT_EQ(lines[2], "\t\tCurrent time (UTC): 2026-12-08 14:07:09.042");
    EXPECT_EQ(lines[3], "\t\tCurrent time (Local): 2026-12-08 14:07:09.042+0:00:00");
    std::string user;
    std::string domain;
    ASSERT_TRUE(CUtilities::GetProcessUserName(0, user, domain));
    EXPECT_EQ(lines[4], "\t\tUser: " + domain + "\\" + user);
    EXPECT_EQ(lines[5], std::string(100, '-'));
    EXPECT_EQ(lines[6],
              "14:07:09.042:" + ThreadField() + ":---------:Lo     1 --- Logging turned on");
    EXPECT_EQ(lines[7],
              "14:07:09.042:" + ThreadField() + ":---------:Lo     1 --- Log file closed");
    EXPECT_EQ(lines.size(), 8u);
}

TEST_F(DebugLogTest, BannerOfAWindowProgramSaysNothingOfAService) {
    AppHooks window_app(kRunModeWindow);
    ScopedApp use_app(window_app);
    StartDebugLog(kPrefix, 2, true, 0);
    StopDebugLog();
    const std::vector<std::string> lines = ReadLines("Tav120814.deb");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "\tLog file opened for foundation_debug_log_test version " +
                            GetExeFileVersion(true) + " interval=1 hour");
    std::string undotted = GetExeFileVersion(true);
    undotted.erase(std::remove(undotted.begin(), undotted.end(), '.'), undotted.end());
    EXPECT_EQ(GetExeFileVersion(false), undotted);
}

TEST_F(DebugLogTest, TraceKindsChooseChannelAndDeviceField) {
    StartDebugLog(kPrefix, 0, true, 0);
    EXPECT_EQ(Trace(kTraceVoice, 0, "no device %d", 1), 0);
    Trace(kTraceVoice, 12, "voice %s", "x");
    Trace(kTraceCallId, 345, "call");
    Trace(kTraceCallId, 0, "no call");
    Trace(kTraceDti, 12345, "dti");
    Trace(kTraceGlobalCall, 9999, "gc");
    Trace(kTraceMsi, 7, "msi");
    Trace(kTraceAmtelco, 1, "am");
    Trace(kTraceIp, 2, "ip");
    Trace(kTraceSocket, 3, "so");
    Trace(5, 4, "other");
    StopDebugLog();
    std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 13u);
    std::vector<std::string> tails;
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        tails.push_back(AfterThread(lines[i]));
    EXPECT_THAT(
        tails, ElementsAre(":---------:--     1 --- no device 1", ":---------:Vo0012 1 --- voice x",
                           ":000000345:--     1 --- call", ":---------:--     1 --- no call",
                           ":---------:Dt+345 1 --- dti", ":---------:Gf9999 1 --- gc",
                           ":---------:Ms0007 1 --- msi", ":---------:Am0001 1 --- am",
                           ":---------:Ip0002 1 --- ip", ":---------:So0003 1 --- so",
                           ":---------:--0004 1 --- other"));
}

TEST_F(DebugLogTest, FunctionRecordsWriteEntryAndExitLinesAtTheirDepth) {
    StartDebugLog(kPrefix, 0, true, 0);
    platform::Thread worker("worker");
    std::string thread_field;
    worker.Start([&] {
        thread_field = ThreadField();
        CDebugFunction outer;
        outer.Enter("Outer", 345, kDebugChannelVoice, 12)->EndLine();
        {
            CDebugFunction inner;
            inner.EnterForLine("Inner", kDebugChannelVoice, 12)
                ->Append(int32_t{1})
                .Append("abc")
                .EndLine();
            inner.BeginLine()->Append("text").EndLine();
            inner.SetResult(-3);
        }
        outer.SetResultText("done");
    });
    worker.Join();
    StopDebugLog();
    std::vector<std::string> tails;
    for (const std::string& line : LogLines(kFile)) {
        if (line.substr(13, 3) == thread_field)
            tails.push_back(AfterThread(line));
    }
    EXPECT_THAT(tails, ElementsAre(":000000345:Vo0012 1 --> Outer()",
                                   ":000000345:Vo0012 2 ----> Inner (1, abc)",
                                   ":000000345:Vo0012 3 ------- text",
                                   ":000000345:Vo0012 2 <----   Inner returns -3",
                                   ":000000345:Vo0012 1 <--   Outer returns done"));
}

TEST_F(DebugLogTest, FieldsAreCutToTheirWidth) {
    StartDebugLog(kPrefix, 0, true, 0);
    auto log = GetDebugFile();
    log->BeginLine(kDebugChannelIsdn, 12345, 1000000345).Append("ten digits").EndLine();
    log->BeginLine(kDebugChannelIntel, 9999, 7).Append("four").EndLine();
    log->BeginLine(static_cast<EDebugChannelType>(13), 7, kDebugNone).Append("unknown").EndLine();
    log->BeginLine(kDebugChannelAculab, kDebugNone, kDebugNone)
        .Append(uint8_t{200})
        .Append(" ")
        .Append(uint16_t{65535})
        .Append(" ")
        .Append(uint32_t{4294967295u})
        .Append(" ")
        .AppendInt64(-9000000000LL)
        .EndLine();
    log.reset();
    StopDebugLog();
    std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 6u) << ::testing::PrintToString(lines);
    EXPECT_EQ(AfterThread(lines[1]), ":000000345:Is+345 1 --- ten digits");
    EXPECT_EQ(AfterThread(lines[2]), ":000000007:In9999 1 --- four");
    EXPECT_EQ(AfterThread(lines[3]), ":---------:--0007 1 --- unknown");
    EXPECT_EQ(AfterThread(lines[4]), ":---------:At     1 --- 200 65535 -1 -9000000000");
}

TEST_F(DebugLogTest, DeepCallsShowDepthFAndAllTheirDashes) {
    StartDebugLog(kPrefix, 0, true, 0);
    {
        std::vector<std::unique_ptr<CDebugFunction>> calls;
        for (int i = 0; i < 19; ++i) {
            calls.push_back(std::make_unique<CDebugFunction>());
            calls.back()->Enter("F", kDebugNone, kDebugChannelNone, kDebugNone)->EndLine();
        }
        Trace(kTraceVoice, 0, "deep");
        while (!calls.empty())
            calls.pop_back();
    }
    Trace(kTraceVoice, 0, "back");
    StopDebugLog();
    std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 1u + 19 + 1 + 19 + 1 + 1);
    EXPECT_EQ(AfterThread(lines[20]), ":---------:--     F " + std::string(40, '-') + "- deep");
    EXPECT_EQ(AfterThread(lines[21]),
              ":---------:--     F <" + std::string(38, '-') + "   F returns (void)");
    EXPECT_EQ(AfterThread(lines[39]), ":---------:--     1 <--   F returns (void)");
    EXPECT_EQ(AfterThread(lines[40]), ":---------:--     1 --- back");
}

TEST_F(DebugLogTest, LineBegunAndNeverEndedIsWrittenAsItStands) {
    StartDebugLog(kPrefix, 0, true, 0);
    {
        CDebugFunction call;
        call.Enter("Open", kDebugNone, kDebugChannelVoice, 3)->Append(int32_t{5});
        Trace(kTraceVoice, 3, "next");
    }
    StopDebugLog();
    std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(AfterThread(lines[1]), ":---------:Vo0003 1 --> Open (5");
    EXPECT_EQ(AfterThread(lines[2]), ":---------:Vo0003 2 ----- next");
    EXPECT_EQ(AfterThread(lines[3]), ":---------:Vo0003 1 <--   Open returns (void)");
}

TEST_F(DebugLogTest, CallIdsAreRememberedPerChannelAndLine) {
    StartDebugLog(kPrefix, 0, true, 0);
    SetLineCallId(kDebugChannelDti, 40, 777);
    EXPECT_EQ(GetLineCallId(kDebugChannelDti, 40), 777);
    EXPECT_EQ(GetLineCallId(kDebugChannelDti, 41), kDebugNone);
    EXPECT_EQ(GetLineCallId(kDebugChannelMsi, 40), kDebugNone);
    {
        CDebugFunction call;
        call.EnterForLine("Found", kDebugChannelDti, 40)->EndLine();
        call.BeginLine(888)->Append("new id").EndLine();
    }
    EXPECT_EQ(GetLineCallId(kDebugChannelDti, 40), 888);
    StopDebugLog();
    std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(AfterThread(lines[1]), ":000000777:Dt0040 1 --> Found()");
    EXPECT_EQ(AfterThread(lines[2]), ":000000888:Dt0040 2 ----- new id");
    EXPECT_EQ(AfterThread(lines[3]), ":000000888:Dt0040 1 <--   Found returns (void)");
}

TEST_F(DebugLogTest, FileHoldsWindows1252Text) {
    StartDebugLog(kPrefix, 0, true, 0);
    Trace(kTraceVoice, 0, "caf\u00e9 \u20ac5 \u4e2d");
    StopDebugLog();
    const std::string bytes = ReadBytes(kFile);
    EXPECT_NE(bytes.find("caf\xe9 \x80"
                         "5 ?\r\n"),
              std::string::npos);
}

TEST_F(DebugLogTest, LinesAreStampedAndNamedFromTheServersTime) {
    clock_.SetNow(kLogStart + std::chrono::minutes(3));  // 14:10:09
    TimeTools::ApplyServerTime("2026-12-08T14:07:09");
    StartDebugLog(kPrefix, 0, true, 0);
    StopDebugLog();
    const std::vector<std::string> lines = LogLines(kFile);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 12), "14:07:09.042");
    EXPECT_EQ(ReadLines(kFile)[3], "\t\tCurrent time (Local): 2026-12-08 14:07:09.042+0:03:00");
}

TEST_F(DebugLogTest, WithoutALogNothingIsWritten) {
    EXPECT_EQ(Trace(kTraceVoice, 1, "nobody listens"), 0);
    CDebugFunction call;
    EXPECT_EQ(call.Enter("F", 1, kDebugChannelVoice, 1), CDebugFile::Inert());
    call.BeginLine()->Append("x").EndLine();
    EXPECT_FALSE(CDebugFile::Inert()->IsEnabled());
    EXPECT_EQ(CDebugFile::Inert()->GetCurrentPath(), "");
    EXPECT_TRUE(FileNames().empty());
}

TEST_F(DebugLogTest, ALogNeverEnabledWritesNoFileNotEvenAtItsStop) {
    StartDebugLog(kPrefix, 3600, false, 10);
    EXPECT_EQ(Trace(kTraceVoice, 1, "not enabled"), 0);
    // Started again, as the program does once it has read its settings, then stopped.
    StartDebugLog(kPrefix, 3600, false, 10);
    StopDebugLog();
    EXPECT_TRUE(FileNames().empty());
}

}  // namespace
}  // namespace ruzd::foundation
