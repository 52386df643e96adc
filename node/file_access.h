#pragma once

// File attribute changes of the file cache, the move queue and the file-handling worker.

#include <string>

namespace ruzd::node {

// What _wchmod(path, _S_IREAD|_S_IWRITE) does: the file readable and writable again. A failure
// is logged as "chmod(<path>, _S_IREAD|_S_IWRITE) failed, error=<code>" with
// the error the platform left.
bool MakeFileReadWrite(const std::string& windowsPath);

}  // namespace ruzd::node
