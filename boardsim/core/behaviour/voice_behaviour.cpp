#include <cstdio>
#include <cstring>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

// A voice channel's features are those configured for its board (catalogue names are lower
// case); board devices and devices that are not open voice channels have none to give.
int32_t Behaviour<tags::dx_getfeaturelist>::Run(int32_t dev, FEATURE_TABLE* features) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(dev);
    int board = 0;
    int channel = 0;
    if (!device || !device->open || device->family != DeviceFamily::kVoice ||
        std::sscanf(device->device.c_str(), "dxxxb%dc%d", &board, &channel) != 2 ||
        features == nullptr) {
        return AT_FAILURE;
    }
    const BoardConfig::VoiceFeatures& configured =
        Machine::Get().config().FeaturesOfVoiceBoard(board);
    std::memset(features, 0, sizeof(*features));
    features->ft_play = configured.play;
    features->ft_record = configured.record;
    features->ft_tone = configured.tone;
    features->ft_e2p_brd_cfg = configured.board_config;
    return 0;
}

}  // namespace ruzd::boardsim
