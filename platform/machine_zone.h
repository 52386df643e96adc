#pragma once

// The machine's time zone as the C library reads it: which zone it is, the names of its
// standard and daylight time, and the rule of its transitions from now on. The offsets come
// from the conversions of platform/local_time.h.

#include <string>

namespace ruzd::platform {

struct MachineZone {
    // The zone's IANA id ("Europe/Berlin"): the TZ variable's value (without a leading ':', and
    // without the zone folder when it names a file there), else where the /etc/localtime link
    // points below a "zoneinfo" folder, else the first line of /etc/timezone; empty when nothing
    // names the zone.
    std::string key_name;
    // The names the C library gives standard and daylight time (its tzname).
    std::string standard_name;
    std::string daylight_name;
    // The POSIX rule of the transitions: TZ itself when it is a rule rather than a zone file,
    // else the footer of the zone file ("CET-1CEST,M3.5.0,M10.5.0/3"); empty when the file has
    // none (a file older than version 2).
    std::string posix_rule;
};

// The zone as the last ReloadTimeZone read it. The C library keeps the names in one place for
// the whole process, so callers serialise this with their reloads.
MachineZone ReadMachineZone();

}  // namespace ruzd::platform
