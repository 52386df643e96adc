#include "watchdog/option_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "watchdog/startup_checks.h"

namespace ruzd::watchdog {
namespace {

struct Row {
    std::vector<std::string> arguments;
    std::function<void(const WatchdogOptions&)> check;
};

// Counts the boxes shown instead of writing them out.
class BoxCounter {
public:
    BoxCounter()
        : previous_(platform::SetMessageBoxPresenter(
              [this](const std::string& text, const std::string&, uint32_t) {
                  texts.push_back(text);
                  return platform::kIdOk;
              })) {}
    ~BoxCounter() { platform::SetMessageBoxPresenter(previous_); }
    std::vector<std::string> texts;

private:
    platform::MessageBoxPresenter previous_;
};

WatchdogOptions Read(const std::vector<std::string>& arguments) {
    WatchdogOptions options;
    ReadCommandLine(arguments, options);
    return options;
}

TEST(OptionReaderTest, ReadsEveryLetterAsTheTableSays) {
    const std::vector<Row> rows = {
        {{"-I120"}, [](const auto& o) { EXPECT_EQ(o.countdown, 120); }},
        {{"/i120"}, [](const auto& o) { EXPECT_EQ(o.countdown, 120); }},
        {{"-I3"}, [](const auto& o) { EXPECT_EQ(o.countdown, 5); }},
        {{"-I"}, [](const auto& o) { EXPECT_EQ(o.countdown, 5); }},
        {{"-I  42x7"}, [](const auto& o) { EXPECT_EQ(o.countdown, 42); }},
        {{"-W-4", "-K-1", "-X7"},
         [](const auto& o) {
             EXPECT_EQ(o.wait, 0);
             EXPECT_EQ(o.close_central, 0);
             EXPECT_EQ(o.alert, 7);
         }},
        {{"-Alocalhost"},
         [](const auto& o) {
             EXPECT_EQ(o.address, "localhost");
             EXPECT_EQ(o.client_port, 9100);
             EXPECT_EQ(o.server_port, 9600);
         }},
        {{"-Q9700", "-B"},
         [](const auto& o) {
             EXPECT_EQ(o.address, "localhost");
             EXPECT_EQ(o.client_port, 9100);
             EXPECT_EQ(o.server_port, 9700);
             EXPECT_TRUE(o.reboot);
         }},
        {{"-O5000"},
         [](const auto& o) {
             EXPECT_EQ(o.client_port, 5000);
             EXPECT_EQ(o.server_port, 9600);
             EXPECT_EQ(o.address, "localhost");
         }},
        {{"-Ahost", "-R"},
         [](const auto& o) {
             EXPECT_EQ(o.address, "host");
             EXPECT_TRUE(o.remote_only);
         }},
        {{"-e"},
         [](const auto& o) {
             EXPECT_TRUE(o.event_monitor);
             EXPECT_EQ(o.client_port, 9100);
             EXPECT_EQ(o.address, "localhost");
         }},
        {{"-N", "-U", "-D", "-H", "-M"},
         [](const auto& o) {
             EXPECT_FALSE(o.screen_shot);
             EXPECT_FALSE(o.crash_dumps);
             EXPECT_TRUE(o.card && o.first_chance_log && o.midi_dump);
         }},
        {{"-Fc:\\btv"}, [](const auto& o) { EXPECT_EQ(o.callout_file, "C:\\BTV\\PROJEC16.BTV"); }},
        {{"-Fc:\\btv\\"},
         [](const auto& o) { EXPECT_EQ(o.callout_file, "C:\\BTV\\PROJEC16.BTV"); }},
        {{"-Fd:\\x\\projec16.btv"},
         [](const auto& o) { EXPECT_EQ(o.callout_file, "D:\\X\\PROJEC16.BTV"); }},
        {{"-T12345678901234567890"},
         [](const auto& o) { EXPECT_EQ(std::string(o.phone.data()), "1234567890123456"); }},
        {{"-G20", "-P7", "-S-2", "-L1043"},
         [](const auto& o) {
             EXPECT_EQ(o.pulse, 20);
             EXPECT_EQ(o.project, 7);
             EXPECT_EQ(o.state, -2);
             EXPECT_EQ(o.language, 1043);
         }},
        {{"-Ccmd /c \"a b\"", "plain"},
         [](const auto& o) { EXPECT_EQ(o.command, "cmd /c \"a b\""); }},
        {{"-v10.1.2.3; 192.168.0.0/16"},
         [](const auto& o) {
             EXPECT_TRUE(o.allowed_peers.Allows("192.168.44.1"));
             EXPECT_FALSE(o.allowed_peers.Allows("10.1.2.4"));
             EXPECT_TRUE(o.bad_peer_entry.empty());
             // The list concerns a listener; it makes none.
             EXPECT_EQ(o.server_port, kPortUnset);
         }},
        {{"-V10.0.0.1,10.0.0.256/8"},
         [](const auto& o) { EXPECT_EQ(o.bad_peer_entry, "10.0.0.256/8"); }},
    };
    BoxCounter boxes;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.front());
        row.check(Read(row.arguments));
    }
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(OptionReaderTest, AnUnknownLetterShowsTheUsageOnceAndEndsStartUpSilently) {
    for (const std::string bad : {"-J", "-z", "-[", "-1", "-"}) {
        BoxCounter boxes;
        const WatchdogOptions options = Read({"-I60", bad, "-B", "-Y"});
        EXPECT_EQ(options.countdown, 0) << bad;
        EXPECT_FALSE(options.reboot) << bad;
        ASSERT_EQ(boxes.texts.size(), 1u) << bad;
        EXPECT_EQ(boxes.texts[0], UsageText());
        EXPECT_TRUE(boxes.texts[0].starts_with("Usage : Tormbel -Bb -Aa -Oo -Qq -Ww -Ii"));
        EXPECT_NE(boxes.texts[0].find("\nwhere H\t= generate first chance exception log file\n"),
                  std::string::npos);
        EXPECT_TRUE(CheckOptions(options).refused);
        EXPECT_TRUE(CheckOptions(options).messages.empty());
    }
}

TEST(OptionReaderTest, StartUpChecksComeInTheirOrder) {
    BoxCounter boxes;
    EXPECT_EQ(CheckOptions(Read({"-I30", "-B"})).messages,
              std::vector<std::string>{kCountdownTooShortMessage});
    EXPECT_EQ(CheckOptions(Read({"-I3"})).messages,
              std::vector<std::string>{kCountdownTooShortMessage});
    EXPECT_FALSE(CheckOptions(Read({"-I31", "-B"})).refused);
    EXPECT_EQ(CheckOptions(Read({"-I60"})).messages,
              (std::vector<std::string>{kNoActionMessage, UsageText()}));
    EXPECT_FALSE(CheckOptions(Read({"-E"})).refused);
    EXPECT_FALSE(CheckOptions(Read({"-Ctrue"})).refused);
    EXPECT_FALSE(CheckOptions(Read({"-Fc:\\"})).refused);
    EXPECT_FALSE(CheckOptions(Read({"-D"})).refused);
    EXPECT_EQ(CheckOptions(Read({"-I60", "-Ctrue", "-V127.0.0.1,nowhere"})).messages,
              std::vector<std::string>{std::string(kBadPeerListMessage) + "'nowhere'\n"});
    EXPECT_EQ(CheckOptions(Read({"-I30", "-V/8"})).messages,
              std::vector<std::string>{kCountdownTooShortMessage});
    EXPECT_FALSE(CheckOptions(Read({"-Ctrue", "-V"})).refused);
}

TEST(OptionReaderTest, NumbersAreReadAsTheCLibraryReadsThem) {
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("abc"), 0);
    EXPECT_EQ(ReadNumber(" \t+17z"), 17);
    EXPECT_EQ(ReadNumber("-0042"), -42);
    EXPECT_EQ(ReadNumber("4294967297"), 1);
}

}  // namespace
}  // namespace ruzd::watchdog
