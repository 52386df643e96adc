// Counts one DWORD value of HKEY_LOCAL_MACHINE\Software\Ruzd\Race up, one read and one write at a
// time: registry_writer_child <value name> <rounds>. Exits 0 when every call succeeded, else 1
// after a line on stderr that says why.

#include <cstdio>
#include <cstdlib>

#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/win_error.h"

int main(int argc, char** argv) {
    using namespace ruzd::platform;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <value name> <rounds>\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const int rounds = std::atoi(argv[2]);
    RegistryKey key;
    if (RegistryKey::LocalMachine().CreateSubKey("Software\\Ruzd\\Race", RegAccess::kAllAccess,
                                                 &key) != kErrorSuccess) {
        std::fprintf(stderr, "cannot open the key\n");
        return 1;
    }
    for (int i = 0; i < rounds; ++i) {
        uint32_t value = 0;
        uint32_t size = sizeof value;
        const uint32_t read = key.QueryValue(name, nullptr, &value, &size);
        if (read != kErrorSuccess && read != kErrorFileNotFound) {
            std::fprintf(stderr, "query failed: %u\n", read);
            return 1;
        }
        ++value;
        if (const uint32_t error = key.SetValue(name, kRegDword, &value, sizeof value);
            error != kErrorSuccess) {
            std::fprintf(stderr, "set failed: %u: %s\n", error,
                         RegistryStore::TakeChangeProblem().c_str());
            return 1;
        }
    }
    return 0;
}
