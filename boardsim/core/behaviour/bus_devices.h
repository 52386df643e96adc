#pragma once

// Which device on the TDM bus a handle stands for, as each library sees its handles.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::boardsim {

enum class BusLibrary { kVoice, kAnalog, kNetwork, kStation, kGlobalCall };

// The catalogue name of the bus device behind an open handle of the library, or nullopt:
// voice channels for the voice library; any open handle of a network time slot for the network
// interface library (dt_open, cc_Open, a Global Call line device); stations for the station
// library; for Global Call, its line devices on network time slots and the media channels of
// its IP line devices (the M_ part of their names). The analog library has no lines here.
std::optional<std::string> BusDeviceOf(int32_t handle, BusLibrary library);

// The bus device behind an open handle of any library, or nullopt.
std::optional<std::string> AnyBusDeviceOf(int32_t handle);

}  // namespace ruzd::boardsim
