#include "foundation/version_note.h"

#include "foundation/project_version.h"

namespace ruzd::foundation {

[[gnu::used, gnu::section(".note.ruzd.version"),
  gnu::aligned(4)]] const VersionNote kProgramVersionNote{
    5,
    8,
    1,
    "RUZD",
    {RUZD_VERSION_MAJOR, RUZD_VERSION_MINOR, RUZD_VERSION_PATCH, RUZD_VERSION_TWEAK}};

}  // namespace ruzd::foundation
