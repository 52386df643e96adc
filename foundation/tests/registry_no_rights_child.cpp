// Runs the registry settings as a process that may read the registry but not change it. Started
// as root it first becomes the unprivileged user "nobody" (65534). Exits 0 when everything behaves
// as for a caller without administrator rights; prints what did not otherwise.

#include <cstdio>
#include <string>

#include "foundation/dialogic_install.h"
#include "foundation/registry.h"
#include "platform/registry.h"
#include "platform/win_error.h"
#include "testing/os_for_tests.h"

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main() {
    using namespace ruzd;
    if (ruzd::testing::RunningAsRoot() && !ruzd::testing::BecomeNobody()) {
        std::perror("dropping privileges");
        return 2;
    }

    foundation::CRegistry registry("Pelwix");
    Check(!registry.IsOpen(), "the section is not opened for all access");
    uint32_t port = 0;
    Check(!registry.ReadDword("Local TCP port", &port), "ReadDword fails");
    std::string address;
    Check(!registry.ReadString("Remote Vesmarin Address", address), "ReadString fails");
    char raw[16];
    Check(!registry.ReadRaw("Local TCP port", raw, sizeof raw), "ReadRaw fails");
    Check(!registry.EnumValue(0, &address, nullptr, nullptr), "EnumValue fails");
    Check(!registry.WriteDword("Local TCP port", 9070), "WriteDword fails");
    Check(!registry.WriteString("Remote Vesmarin Address", "x"), "WriteString fails");
    Check(!registry.DeleteKey("Anything"), "DeleteKey fails");
    Check(!foundation::CRegistry(nullptr).IsOpen(), "the Default section is not created");

    // The callers' pattern runs on the default.
    if (!registry.ReadDword("Local TCP port", &port)) {
        port = 9070;
        registry.WriteDword("Local TCP port", port);
    }
    Check(port == 9070, "the caller falls back to its default");

    // Reading the store still works, for all access it is denied.
    platform::RegistryKey key;
    Check(platform::RegistryKey::LocalMachine().OpenSubKey("Software\\Ruzd\\Pelwix",
                                                           platform::RegAccess::kAllAccess,
                                                           &key) == platform::kErrorAccessDenied,
          "all access is denied");
    Check(platform::RegistryKey::LocalMachine().CreateSubKey("Software\\Ruzd\\New",
                                                             platform::RegAccess::kRead,
                                                             &key) == platform::kErrorAccessDenied,
          "creating a key is denied");
    Check(
        platform::RegistryKey::LocalMachine().OpenSubKey(
            "Software\\Ruzd\\Pelwix", platform::RegAccess::kRead, &key) == platform::kErrorSuccess,
        "the key opens for reading");
    uint32_t stored = 0;
    uint32_t size = sizeof stored;
    Check(key.QueryValue("Local TCP port", nullptr, &stored, &size) == platform::kErrorSuccess &&
              stored == 1234,
          "the stored value reads");
    Check(foundation::GetDialogicVersionString() == "6.0", "the Dialogic queries read");
    return failures == 0 ? 0 : 1;
}
