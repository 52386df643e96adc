// The invalid-parameter hook: the facade hands the node's handler to every loaded module that
// brings a run time with the hook, and a failing call in such a module logs a line instead of
// ending the process.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/dynamic_library.h"
#include "platform/loaded_modules.h"
#include "telephony/invalid_parameter_hook.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const std::string kHookModule = std::string(RUZD_VENDOR_STUB_DIR) + "/stub_crt_hook.so";

class InvalidParameterHookTest : public FacadeTest {
protected:
    InvalidParameterHookTest() { module_.LoadFile(kHookModule); }

    // Makes the module's run time fail an argument check at `line`; false while it has no
    // handler.
    bool FailInModule(unsigned int line) {
        auto* fail = module_.Bind<bool(unsigned int)>("crt_hook_fail");
        return fail != nullptr && fail(line);
    }

    platform::DynamicLibrary module_;
};

TEST_F(InvalidParameterHookTest, TheWalkFindsTheLoadedModules) {
    ASSERT_TRUE(module_.loaded()) << module_.error_text();
    EXPECT_THAT(platform::LoadedModules(), Contains(kHookModule));
    EXPECT_THAT(platform::LoadedModules(), Not(Contains("")));
}

TEST_F(InvalidParameterHookTest, TheFacadeHandsItsHandlerToModulesWithTheHook) {
    ASSERT_TRUE(module_.loaded()) << module_.error_text();
    EXPECT_FALSE(FailInModule(1));
    TestFacade hardware;
    ForgetLines();
    EXPECT_TRUE(FailInModule(42));
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "ERROR myInvalidParameterHandler expression buffer != NULL function strcpy_s file "
              "crt\\strcpy_s.c line 42");
    EXPECT_EQ(lines[0].kind, 0);
    EXPECT_EQ(lines[0].device, 0);
}

TEST_F(InvalidParameterHookTest, OnlyModulesThatExportTheHookTakeIt) {
    ASSERT_TRUE(module_.loaded()) << module_.error_text();
    // The stub module here, and no part of the system's own libraries.
    EXPECT_EQ(InstallInvalidParameterHandler(), 1);
}

TEST_F(InvalidParameterHookTest, MissingTextsAreLoggedEmpty) {
    ForgetLines();
    NodeInvalidParameterHandler(nullptr, L"f\u00e9", nullptr, 7, 0);
    EXPECT_THAT(NewTexts(), ElementsAre("ERROR myInvalidParameterHandler expression  function "
                                        "f\xC3\xA9 file  line 7"));
}

}  // namespace
}  // namespace ruzd::telephony
