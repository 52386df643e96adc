#pragma once

// Continuous speech processing (libecmt): a voice channel's incoming audio, handed to a
// callback as it arrives.

#include <cstdint>

// Called by the library on its own thread with the channel, the audio and its length.
using EC_STREAM_CALLBACK = int32_t (*)(int32_t channel, char* buffer, uint32_t length);

// Event of the speech stream.
constexpr int32_t TEC_STREAM = 0xE0;

// Parameters of ec_setparm.
constexpr uint32_t ECCH_VADINITIATED = 0x2000021F;
constexpr uint32_t ECCH_XFERBUFFERSIZE = 0x30000005;
constexpr uint32_t DXCH_BARGEIN = 0x2000021D;
constexpr uint32_t ECCH_ECHOCANCELLER = 0x04;

// Mode of ec_stopch.
constexpr uint32_t SENDING = 1;
constexpr uint32_t FULLDUPLEX = 2;
