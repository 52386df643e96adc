// Fuzz entry over the registry file parser: the text of a store, as a user may have edited it.
//
// Checked besides memory safety: a text that parses is written out as a text that parses again
// and writes out the same (the writer's form is canonical and restores the tree).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/reg_file.h"
#include "platform/reg_tree.h"
#include "testing/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ruzd::platform::RegNode root("HKEY_LOCAL_MACHINE");
    std::string error;
    if (!ruzd::platform::ParseRegFile(text, &root, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = ruzd::platform::FormatRegFile(root);
    ruzd::platform::RegNode again("HKEY_LOCAL_MACHINE");
    FUZZ_CHECK(ruzd::platform::ParseRegFile(written, &again, &error));
    FUZZ_CHECK(ruzd::platform::FormatRegFile(again) == written);
    return 0;
}
