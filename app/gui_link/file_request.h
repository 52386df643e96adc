#pragma once

// What the node hands a window that asks for a file over the local GUI link. Only files a window
// has business reading are served: regular files inside the node's current folder tree while
// that folder lies inside the platform root, and its debug files ("Tav*.deb") right in the debug
// directory in force. Every other path is answered as a missing file is, so that a window learns
// nothing of what lies outside.

#include <cstdint>
#include <string>
#include <vector>

namespace ruzd::app {

struct FileAnswer {
    bool success = false;
    // The path as the window asked for it, or the reason of the refusal.
    std::string text;
    std::vector<uint8_t> contents;
};

// `path` is the window's path in Windows form; a bare name (neither '\' nor '/') is looked up
// as ".\name". `debugDirectory` is the debug directory in force, in Windows form.
FileAnswer ServeFileRequest(const std::string& path, const std::string& debugDirectory);

}  // namespace ruzd::app
