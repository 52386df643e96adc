#pragma once

// Installing and removing an event source in the registry: its key under
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\<log> with "EventMessageFile" and
// "TypesSupported", and its name in the log's "Sources" multi-string, which names every source
// of the log once whatever the case; and the multi-string helpers they use.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ruzd::app {

// Creates the source's key and values and lists it in "Sources" when it is not listed yet
// (without regard to case); true when both values were written. The log's key must exist.
bool InstallEventSource(std::string_view logName, std::string_view sourceName,
                        std::string_view messageFile, uint32_t typesSupported);
bool InstallEventSource(std::string_view sourceName, std::string_view messageFile,
                        uint32_t typesSupported);

// Deletes the source's key (false with the thread's last error when that fails) and removes
// every copy of the source from "Sources".
bool UninstallEventSource(std::string_view logName, std::string_view sourceName);
bool UninstallEventSource(std::string_view sourceName);

// A REG_MULTI_SZ value's strings, in order: false for a value of another type (error 13) or one
// that cannot be read (the registry's error).
bool ReadMultiString(const platform::RegistryKey& key, std::string_view valueName,
                     std::vector<std::string>& strings, uint32_t* error = nullptr);
bool WriteMultiString(const platform::RegistryKey& key, std::string_view valueName,
                      const std::vector<std::string>& strings, uint32_t* error = nullptr);

}  // namespace ruzd::app
