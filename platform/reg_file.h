#pragma once

// The text form of the registry store: the .reg syntax of the Windows registry editor, in UTF-8.
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

#include "platform/reg_tree.h"

namespace ruzd::platform {

// Reads a store's text into `root`, the (empty) key that stands for HKEY_LOCAL_MACHINE. Empty text
// is an empty store. False for text that is not a store, with the line and the reason in `error`.
bool ParseRegFile(std::string_view text, RegNode* root, std::string* error = nullptr);

std::string FormatRegFile(const RegNode& root);

}  // namespace ruzd::platform
