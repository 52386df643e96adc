// Fuzz entry over the registry file parser: the text of a store, as a user may have edited it.
//
// Checked besides memory safety: a text that parses is written out, in the encoding and line ends
// it was read in, as a text that parses again in that form and writes out the same (the writer's
// form is canonical and restores the tree).

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
    ruzd::platform::RegTextForm form;
    if (!ruzd::platform::ParseRegFile(text, &root, &error, &form)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = ruzd::platform::FormatRegFile(root, form);
    ruzd::platform::RegNode again("HKEY_LOCAL_MACHINE");
    ruzd::platform::RegTextForm formAgain;
    FUZZ_CHECK(ruzd::platform::ParseRegFile(written, &again, &error, &formAgain));
    FUZZ_CHECK(formAgain == form);
    FUZZ_CHECK(ruzd::platform::FormatRegFile(again, form) == written);
    return 0;
}
