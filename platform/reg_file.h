#pragma once

// The text form of the registry store: the .reg syntax of the Windows registry editor, read in
// UTF-8 or UTF-16LE (see reg_text_form.h) and written back in the form it was read in.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Ruzd\Pelwix]
//   "Local TCP port"=dword:0000235e
//   "Debug Directory"="C:\\Ruzd\\Logging\\"
//   @=hex(2):25,00,00,00
//
// Every key has a section of its own (empty keys too), so the text restores the tree exactly.
// REG_SZ values that are well-formed text with one terminating null are written as quoted text,
// 4-byte REG_DWORD values as dword:, REG_BINARY as hex:, everything else as hex(type): with the
// raw bytes; long hex lists are continued on the next line after a trailing backslash.

#include <string>
#include <string_view>

#include "platform/reg_text_form.h"
#include "platform/reg_tree.h"

namespace ruzd::platform {

// Reads a store file's bytes into `root`, the (empty) key that stands for HKEY_LOCAL_MACHINE, and
// the form they were in into `form`; each value keeps the number of its line. An empty file is
// an empty store. False for bytes that are not
// a store, with the line's number, the reason and the line itself in `error`.
bool ParseRegFile(std::string_view bytes, RegNode* root, std::string* error = nullptr,
                  RegTextForm* form = nullptr);

// The bytes of a store file in `form`.
std::string FormatRegFile(const RegNode& root, const RegTextForm& form = {});

}  // namespace ruzd::platform
