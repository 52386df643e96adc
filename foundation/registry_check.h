#pragma once

// A look at what the registry file holds under a program's own key, for lines its author may not
// have meant as they stand: a value name the program does not know but that is close to one it
// knows (a slip of the keyboard, which the program would pass over without a word), and a value
// the program knows written with a type its reads refuse (a port written as "9100"), on which
// the program runs with the default instead. Each is told in one sentence naming the file's line;
// the lines themselves are left as written.

#include <string>
#include <string_view>
#include <vector>

#include "foundation/registry.h"

namespace ruzd::foundation {

// A value the program reads from its key: its name, the kind its reads take, and its default as
// the sentence shows it.
struct KnownRegistryValue {
    std::string name;
    RegistryValueKind kind = RegistryValueKind::kDword;
    std::string defaultText;
};

// A name closer than this (in edit steps, letters compared without regard to case) to a known
// one counts as a slip.
inline constexpr int kRegistryNameSlip = 2;

// The sentences about the key HKEY_LOCAL_MACHINE\Software\Ruzd\<section> of the registry file,
// in the order of its values; `program` names the program in them. None when the key or the file
// is missing or the file cannot be read (which the start-up refuses on its own).
std::vector<std::string> FindRegistryMistakes(std::string_view section, std::string_view program,
                                              const std::vector<KnownRegistryValue>& known);

}  // namespace ruzd::foundation
