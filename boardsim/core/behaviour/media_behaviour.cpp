#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

VoiceMedia& Media() {
    return Machine::Get().media();
}

// A tone built is the template dx_addtone adds next; building it always succeeds.
int32_t Built(uint32_t tone_id) {
    Media().ToneBuilt(tone_id);
    return 0;
}

}  // namespace

int32_t Behaviour<tags::dx_setuio>::Run(DX_UIO uio) {
    Machine::Get().recordings().SetUserIo(uio);
    Media().SetUserIo(uio);
    return 0;
}

int32_t Behaviour<tags::dx_playiottdata>::Run(int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb,
                                              uint16_t /*mode*/) {
    return Media().Play(dev, iott, tpt, xpb);
}

// The recording also waits for the control command `record`, which takes it over.
int32_t Behaviour<tags::dx_reciottdata>::Run(int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb,
                                             uint16_t mode) {
    const int32_t result = Media().Record(dev, iott, tpt, xpb, nullptr, (mode & RM_TONE) != 0);
    if (result == 0)
        Machine::Get().recordings().Start(dev, iott);
    return result;
}

int32_t Behaviour<tags::dx_mreciottdata>::Run(int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb,
                                              uint16_t mode, SC_TSINFO* tsinfo) {
    if (tsinfo == nullptr) {
        Machine::Get().devices().SetLastError(dev, EDV_BADPARM);
        return -1;
    }
    return Media().Record(dev, iott, tpt, xpb, tsinfo, (mode & RM_TONE) != 0);
}

int32_t Behaviour<tags::dx_getdig>::Run(int32_t dev, DV_TPT* tpt, DV_DIGIT* digits,
                                        uint16_t /*mode*/) {
    return Media().GetDigits(dev, tpt, digits);
}

int32_t Behaviour<tags::dx_clrdigbuf>::Run(int32_t dev) {
    return Media().ClearDigits(dev);
}

int32_t Behaviour<tags::dx_dial>::Run(int32_t dev, const char* dial, DX_CAP* /*cap*/,
                                      uint16_t mode) {
    return Media().Dial(dev, dial, (mode & DX_CALLP) != 0);
}

int32_t Behaviour<tags::dx_playtone>::Run(int32_t dev, TN_GEN* tone, DV_TPT* tpt,
                                          uint16_t /*mode*/) {
    return Media().PlayTone(dev, tone, tpt);
}

int32_t Behaviour<tags::dx_stopch>::Run(int32_t dev, uint16_t /*mode*/) {
    return Media().Stop(dev);
}

int32_t Behaviour<tags::dx_addtone>::Run(int32_t dev, uint8_t /*digit*/, uint8_t /*digit_type*/) {
    return Media().AddTone(dev);
}

int32_t Behaviour<tags::dx_enbtone>::Run(int32_t dev, int32_t tone_id, int32_t /*event_mask*/) {
    return Media().EnableTone(dev, tone_id, true);
}

int32_t Behaviour<tags::dx_distone>::Run(int32_t dev, int32_t tone_id, int32_t /*event_mask*/) {
    return Media().EnableTone(dev, tone_id, false);
}

int32_t Behaviour<tags::dx_deltones>::Run(int32_t dev) {
    return Media().DeleteTones(dev);
}

int32_t Behaviour<tags::dx_blddtcad>::Run(uint32_t tone_id, uint32_t, uint32_t, uint32_t, uint32_t,
                                          uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
    return Built(tone_id);
}

int32_t Behaviour<tags::dx_blddt>::Run(uint32_t tone_id, uint32_t, uint32_t, uint32_t, uint32_t,
                                       uint32_t) {
    return Built(tone_id);
}

int32_t Behaviour<tags::dx_bldstcad>::Run(uint32_t tone_id, uint32_t, uint32_t, uint32_t, uint32_t,
                                          uint32_t, uint32_t, uint32_t) {
    return Built(tone_id);
}

int32_t Behaviour<tags::dx_bldst>::Run(uint32_t tone_id, uint32_t, uint32_t, uint32_t) {
    return Built(tone_id);
}

// An idle channel reports the configured state (idle unless a `result` line says otherwise).
int32_t Behaviour<tags::ATDX_STATE>::Run(int32_t dev) {
    const int32_t state = Media().Attributes(dev).state;
    return state == CS_IDLE ? static_cast<int32_t>(DefaultResult("ATDX_STATE")) : state;
}

#define BOARDSIM_VOICE_ATTRIBUTE(function, field)         \
    int32_t Behaviour<tags::function>::Run(int32_t dev) { \
        return Media().Attributes(dev).field;             \
    }
BOARDSIM_VOICE_ATTRIBUTE(ATDX_TERMMSK, termmask)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_TRCOUNT, trcount)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_TONEID, tone_id)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_BUFDIGS, buffered_digits)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_CPTERM, cpterm)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_CONNTYPE, conntype)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_SHORTLOW, shortlow)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_LONGLOW, longlow)
BOARDSIM_VOICE_ATTRIBUTE(ATDX_SIZEHI, sizehi)
#undef BOARDSIM_VOICE_ATTRIBUTE

}  // namespace ruzd::boardsim
