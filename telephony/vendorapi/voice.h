#pragma once

// The voice library (libdxxmt): voice channels, analog lines, tones, digits, dialling, user
// I/O and the channel attributes.

#include <cstdint>

#include "telephony/vendorapi/bus.h"

// Events of the voice library.
constexpr int32_t TDX_PLAY = 0x81;
constexpr int32_t TDX_RECORD = 0x82;
constexpr int32_t TDX_GETDIG = 0x83;
constexpr int32_t TDX_DIAL = 0x84;
constexpr int32_t TDX_CALLP = 0x85;
constexpr int32_t TDX_CST = 0x86;
constexpr int32_t TDX_SETHOOK = 0x87;
constexpr int32_t TDX_WINK = 0x88;
constexpr int32_t TDX_ERROR = 0x89;
constexpr int32_t TDX_PLAYTONE = 0x8A;
constexpr int32_t TDX_GETR2MF = 0x8B;
constexpr int32_t TDX_BARGEIN = 0x8C;
constexpr int32_t TDX_NOSTOP = 0x8D;

// Call-status transition kinds carried by a TDX_CST event (DX_CST::cst_event).
constexpr uint16_t DE_RINGS = 1;
constexpr uint16_t DE_SILON = 2;
constexpr uint16_t DE_SILOF = 3;
constexpr uint16_t DE_LCON = 4;
constexpr uint16_t DE_LCOF = 5;
constexpr uint16_t DE_TONEON = 6;
constexpr uint16_t DE_TONEOFF = 7;
constexpr uint16_t DE_DIGITS = 8;
constexpr uint16_t DE_WINK = 9;

// Termination reasons, as bits of ATDX_TERMMSK.
constexpr int32_t TM_NORMTERM = 0x00000;
constexpr int32_t TM_MAXDTMF = 0x00001;
constexpr int32_t TM_MAXSIL = 0x00002;
constexpr int32_t TM_MAXNOSIL = 0x00004;
constexpr int32_t TM_LCOFF = 0x00008;
constexpr int32_t TM_IDDTIME = 0x00010;
constexpr int32_t TM_MAXTIME = 0x00020;
constexpr int32_t TM_DIGIT = 0x00040;
constexpr int32_t TM_PATTERN = 0x00080;
constexpr int32_t TM_USRSTOP = 0x00100;
constexpr int32_t TM_EOD = 0x00200;
constexpr int32_t TM_TONE = 0x02000;
constexpr int32_t TM_BARGEIN = 0x80000;
constexpr int32_t TM_ERROR = 0x100000;

// Termination conditions of a DV_TPT entry (tp_termno).
constexpr uint16_t DX_MAXDTMF = 0;
constexpr uint16_t DX_MAXSIL = 1;
constexpr uint16_t DX_MAXNOSIL = 2;
constexpr uint16_t DX_LCOFF = 3;
constexpr uint16_t DX_IDDTIME = 4;
constexpr uint16_t DX_MAXTIME = 5;
constexpr uint16_t DX_DIGMASK = 6;
constexpr uint16_t DX_PMOFF = 7;
constexpr uint16_t DX_PMON = 8;
constexpr uint16_t DX_DIGTYPE = 9;
constexpr uint16_t DX_TONE = 10;

// Channel states (ATDX_STATE).
constexpr int32_t CS_IDLE = 1;
constexpr int32_t CS_PLAY = 2;
constexpr int32_t CS_RECD = 3;
constexpr int32_t CS_DIAL = 4;
constexpr int32_t CS_GTDIG = 5;
constexpr int32_t CS_TONE = 6;
constexpr int32_t CS_STOPD = 7;
constexpr int32_t CS_SENDFAX = 8;
constexpr int32_t CS_RECVFAX = 9;
constexpr int32_t CS_HOOK = 10;
constexpr int32_t CS_WINK = 11;
constexpr int32_t CS_CALL = 12;
constexpr int32_t CS_GETR2MF = 13;

// Call-progress results (ATDX_CPTERM).
constexpr int32_t CR_BUSY = 7;
constexpr int32_t CR_NOANS = 8;
constexpr int32_t CR_NORB = 9;
constexpr int32_t CR_CNCT = 10;
constexpr int32_t CR_CEPT = 11;
constexpr int32_t CR_STOPD = 12;
constexpr int32_t CR_NODIALTONE = 17;
constexpr int32_t CR_FAXTONE = 18;
constexpr int32_t CR_ERROR = 0x100;

// Hook states for dx_sethook.
constexpr int32_t DX_ONHOOK = 0;
constexpr int32_t DX_OFFHOOK = 1;

// Modes of dx_stopch, dx_getdig, dx_playiottdata and dx_reciottdata.
constexpr uint16_t RM_TONE = 0x0001;
constexpr uint16_t DX_CALLP = 0x0001;

// Entry types of DX_IOTT and DV_TPT lists.
constexpr uint16_t IO_CONT = 0x01;
constexpr uint16_t IO_LINK = 0x02;
constexpr uint16_t IO_EOT = 0x04;
constexpr uint16_t IO_DEV = 0x00;
constexpr uint16_t IO_MEM = 0x08;

// One entry of a transfer list: a file region or a memory block to play or record.
struct DX_IOTT {
    uint16_t io_type;
    uint16_t rfu;
    int32_t io_fhandle;
    char* io_bufp;
    uint32_t io_offset;
    int32_t io_length;
    DX_IOTT* io_nextp;
    DX_IOTT* io_prevp;
};

// One termination condition.
struct DV_TPT {
    uint16_t tp_type;
    uint16_t tp_termno;
    uint16_t tp_length;
    uint16_t tp_flags;
    uint16_t tp_data;
    uint16_t rfu;
    DV_TPT* tp_nextp;
};

// Format of the data played or recorded. Travels as four values on the wire; kept at its
// library size so that a block read whole stays aligned with it.
struct DX_XPB {
    uint16_t wFileFormat;
    uint16_t wDataFormat;
    uint32_t nSamplesPerSec;
    uint16_t wBitsPerSample;
};
static_assert(sizeof(DX_XPB) == 12);

// File formats of DX_XPB: raw data, or a WAVE file whose header the library writes.
constexpr uint16_t FILE_FORMAT_VOX = 1;
constexpr uint16_t FILE_FORMAT_WAVE = 2;
// Data formats of DX_XPB.
constexpr uint16_t DATA_FORMAT_DIALOGIC_ADPCM = 1;
constexpr uint16_t DATA_FORMAT_ALAW = 3;
constexpr uint16_t DATA_FORMAT_MULAW = 7;
constexpr uint16_t DATA_FORMAT_PCM = 8;
// Sampling-rate codes of DX_XPB (the rate divided by 125).
constexpr uint32_t DRT_6KHZ = 0x30;
constexpr uint32_t DRT_8KHZ = 0x40;
constexpr uint32_t DRT_11KHZ = 0x58;

// Digits collected by dx_getdig: the digit characters, then their types.
struct DV_DIGIT {
    char dg_value[32];
    char dg_type[32];
};
static_assert(sizeof(DV_DIGIT) == 64);

// A tone to generate.
struct TN_GEN {
    uint16_t tg_dflag;
    uint16_t tg_freq1;
    uint16_t tg_freq2;
    int16_t tg_ampl1;
    int16_t tg_ampl2;
    int16_t tg_dur;
};
static_assert(sizeof(TN_GEN) == 12);

// Call-progress parameters of dx_dial; the central server sends them as one 112-byte block
// that the node passes on unread.
struct DX_CAP {
    uint8_t ca_block[112];
};
static_assert(sizeof(DX_CAP) == 112);

// A tone-qualification template, carried whole as a 32-byte block.
struct TN_QLT {
    uint8_t tq_block[32];
};
static_assert(sizeof(TN_QLT) == 32);
constexpr uint32_t TN_QLT_SIZE = sizeof(TN_QLT);

// The features of a voice channel; the node reads the first two words.
struct FEATURE_TABLE {
    uint16_t ft_play;
    uint16_t ft_record;
    uint16_t ft_tone;
    uint16_t ft_e2p_brd_cfg;
    uint16_t ft_fax;
    uint16_t ft_front_end;
    uint16_t ft_misc;
    uint16_t ft_send;
    uint16_t ft_receive;
    uint16_t ft_rfu[23];
};
static_assert(sizeof(FEATURE_TABLE) == 64);

// Data of a TDX_CST event.
struct DX_CST {
    uint16_t cst_event;
    uint16_t cst_data;
};
static_assert(sizeof(DX_CST) == 4);

// An event block as dx_getevt fills it.
struct DX_EBLK {
    uint16_t ev_event;
    uint16_t ev_data;
    uint8_t ev_rfu[12];
};
static_assert(sizeof(DX_EBLK) == 16);

// User I/O: the functions the voice library calls instead of the C run time to read, write
// and seek the files of a transfer.
struct DX_UIO {
    int32_t (*u_read)(int32_t fd, char* buffer, uint32_t count);
    int32_t (*u_write)(int32_t fd, char* buffer, uint32_t count);
    int32_t (*u_seek)(int32_t fd, int32_t offset, int32_t whence);
};
