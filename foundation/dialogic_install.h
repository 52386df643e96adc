#pragma once

// Where and which Dialogic/Intel telephony software is installed, as its installation records it
// under HKEY_LOCAL_MACHINE. The keys are only read, so these work for any user.

#include <string>

namespace ruzd::foundation {

struct DialogicVersion {
    bool found = false;
    std::string version;
    std::string build;
};

// "DNASDKDIR" of "Software\Dialogic\Configuration", ending in '\'. False, with `path` empty, when
// the key or the value is missing or the value is longer than a path may be.
bool GetDialogicSdkDir(std::string& path);
// "DLCFGPATH" of the same key, likewise.
bool GetDialogicConfigPath(std::string& path);

// "Product Name" of the active release; "" when anything on the way is missing.
std::string GetDialogicSystemRelease();
// "Product Version" and "Build Number" of the active release; not found without a version.
DialogicVersion GetDialogicVersion();
// "version.build", the version alone when there is no build, "" when no release is found.
std::string GetDialogicVersionString();

}  // namespace ruzd::foundation
