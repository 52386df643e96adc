#include "app/application_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/registry.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

ApplicationOptions Parse(std::vector<std::string> arguments) {
    return ParseApplicationOptions(arguments);
}

TEST(ApplicationOptions, Defaults) {
    const ApplicationOptions options = Parse({});
    EXPECT_EQ(options.waitSeconds, 0u);
    EXPECT_FALSE(options.debugOn);
    EXPECT_FALSE(options.traceLevel.has_value());
    EXPECT_FALSE(options.configureAmtelco);
    EXPECT_EQ(options.amtelcoBoard, 16);
    EXPECT_TRUE(options.busClockMaster);
    EXPECT_TRUE(options.ctBus);
    EXPECT_FALSE(options.remoteAddress.has_value());
    // The entry's own words leave the application's options alone.
    EXPECT_EQ(Parse({"-debug", "-gui", "-service", "-help", "-?", "-sleep:100",
                     "-workingdir:C:\\work", "-DEBUG"}),
              ApplicationOptions());
}

TEST(ApplicationOptions, WaitSeconds) {
    EXPECT_EQ(Parse({"-w"}).waitSeconds, 40u);
    EXPECT_EQ(Parse({"-w0"}).waitSeconds, 40u);
    EXPECT_EQ(Parse({"-w90"}).waitSeconds, 90u);
    EXPECT_EQ(Parse({"-W15"}).waitSeconds, 15u);
    EXPECT_EQ(Parse({"w7"}).waitSeconds, 7u);
    EXPECT_EQ(Parse({"-w99999999999"}).waitSeconds, 2147483647u);
    // A later "-w" without digits keeps a number given before.
    EXPECT_EQ(Parse({"-w90", "-w"}).waitSeconds, 90u);
    // The number must follow the letter directly: a separate word is no number.
    EXPECT_EQ(Parse({"-w", "90"}).waitSeconds, 40u);
}

TEST(ApplicationOptions, Debug) {
    const ApplicationOptions plain = Parse({"-d"});
    EXPECT_TRUE(plain.debugOn);
    EXPECT_FALSE(plain.traceLevel.has_value());
    const ApplicationOptions withLevel = Parse({"-D4"});
    EXPECT_TRUE(withLevel.debugOn);
    EXPECT_EQ(withLevel.traceLevel, 4);
    EXPECT_FALSE(Parse({"-debug"}).debugOn);
    EXPECT_FALSE(Parse({"-DeBuG"}).debugOn);
    // Only the whole word "-debug" is the entry's; anything else starting with d is "-d".
    EXPECT_TRUE(Parse({"-debugx"}).debugOn);
    EXPECT_TRUE(Parse({"d"}).debugOn);
}

TEST(ApplicationOptions, Amtelco) {
    const ApplicationOptions on = Parse({"-a"});
    EXPECT_TRUE(on.configureAmtelco);
    EXPECT_EQ(on.amtelcoBoard, 16);
    EXPECT_TRUE(on.busClockMaster);
    EXPECT_TRUE(on.ctBus);

    EXPECT_EQ(Parse({"-ab"}).amtelcoBoard, 16);
    EXPECT_EQ(Parse({"-ab3"}).amtelcoBoard, 3);
    EXPECT_EQ(Parse({"-AB12x"}).amtelcoBoard, 12);

    EXPECT_FALSE(Parse({"-ac0"}).busClockMaster);
    EXPECT_TRUE(Parse({"-ac1"}).busClockMaster);
    // The test is for the character 1: anything else, nothing included, is a slave clock.
    EXPECT_FALSE(Parse({"-ac"}).busClockMaster);

    EXPECT_TRUE(Parse({"-as1"}).ctBus);
    EXPECT_FALSE(Parse({"-as0"}).ctBus);
    EXPECT_FALSE(Parse({"-as"}).ctBus);

    // Every Amtelco option also asks for the set-up.
    EXPECT_TRUE(Parse({"-ac1"}).configureAmtelco);
    EXPECT_TRUE(Parse({"-ab4"}).configureAmtelco);

    const ApplicationOptions all = Parse({"-a", "-ab2", "-ac0", "-as0"});
    EXPECT_TRUE(all.configureAmtelco);
    EXPECT_EQ(all.amtelcoBoard, 2);
    EXPECT_FALSE(all.busClockMaster);
    EXPECT_FALSE(all.ctBus);
}

TEST(ApplicationOptions, RemoteAddressInLowerCase) {
    EXPECT_EQ(Parse({"-server:NODE7.Example.LOCAL"}).remoteAddress, "node7.example.local");
    EXPECT_EQ(Parse({"-SERVER:10.0.0.1", "-server:Second"}).remoteAddress, "second");
    EXPECT_EQ(Parse({"-server:"}).remoteAddress, "");
    EXPECT_FALSE(Parse({"server:x"}).remoteAddress.has_value());
}

TEST(ApplicationOptions, StoreRemoteAddress) {
    testing::TempRoot root;
    ASSERT_TRUE(StoreRemoteAddress("node7.example.local"));
    std::string stored;
    ASSERT_TRUE(foundation::CRegistry("Pelwix").ReadString("Remote Vesmarin Address", stored));
    EXPECT_EQ(stored, "node7.example.local");
}

}  // namespace
}  // namespace ruzd::app
