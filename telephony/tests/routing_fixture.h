#pragma once

// The bus routing over the simulated boards: a facade loaded from the build's vendor folder and
// published as the node publishes its own, and a stand-in for the node manager's Aculab channel
// store, published while the test lets the manager live.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "telephony/aculab_channel_store.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {

// What the manager keeps per Aculab handle, as far as the routing reads it.
class ChannelStoreForTests : public AculabChannelStore {
public:
    struct Channel {
        int32_t stream = -1;
        int32_t slot = -1;
        int32_t card = -1;
        tSMChannelId_struct* echo_in = nullptr;
    };
    std::map<int32_t, Channel> channels;

    int32_t GetProsodyStream(int32_t handle) const override { return Of(handle).stream; }
    int32_t GetProsodyTimeslot(int32_t handle) const override { return Of(handle).slot; }
    int32_t GetProsodyModule(int32_t) const override { return -1; }
    int32_t GetAculabCardIndex(int32_t handle) const override { return Of(handle).card; }
    void SetProsodyStream(int32_t, int32_t) override {}
    void SetProsodyTimeslot(int32_t, int32_t) override {}
    void SetProsodyModule(int32_t, int32_t) override {}
    void SetAculabCardSerial(int32_t, const std::string&) override {}
    tSMChannelId_struct* GetEchoCancelIn(int32_t handle) const override {
        return Of(handle).echo_in;
    }
    tSMChannelId_struct* GetEchoCancelRef(int32_t) const override { return nullptr; }
    tSMChannelId_struct* GetEchoCancelOut(int32_t) const override { return nullptr; }
    void SetEchoCancelIn(int32_t, tSMChannelId_struct*) override {}
    void SetEchoCancelRef(int32_t, tSMChannelId_struct*) override {}
    void SetEchoCancelOut(int32_t, tSMChannelId_struct*) override {}
    tSMVMPrxId_struct* GetVMPrxId(int32_t) const override { return nullptr; }
    tSMVMPtxId_struct* GetVMPtxId(int32_t) const override { return nullptr; }
    tSMTDMrxId_struct* GetTDMrxId(int32_t) const override { return nullptr; }
    tSMTDMtxId_struct* GetTDMtxId(int32_t) const override { return nullptr; }
    void SetVMPrxId(int32_t, tSMVMPrxId_struct*) override {}
    void SetVMPtxId(int32_t, tSMVMPtxId_struct*) override {}
    void SetTDMrxId(int32_t, tSMTDMrxId_struct*) override {}
    void SetTDMtxId(int32_t, tSMTDMtxId_struct*) override {}

private:
    Channel Of(int32_t handle) const {
        const auto found = channels.find(handle);
        return found == channels.end() ? Channel{} : found->second;
    }
};

class RoutingTest : public FacadeBoardsimTest {
protected:
    ~RoutingTest() override {
        PublishHardware(nullptr);
        PublishedAculabChannels().Withdraw(store_.get());
    }

    // Loads the facade over boards of `config` and publishes it with the manager's store.
    TestFacade& Load(const std::string& config,
                     CHardware::AculabPath aculab = CHardware::AculabPath::kSwitchedOff,
                     bool global_call_only = false) {
        WriteConfig(config);
        hardware_.emplace(aculab, global_call_only);
        PublishHardware(&*hardware_);
        PublishedAculabChannels().Publish(store_);
        return *hardware_;
    }

    // The journal's calls of the bus functions from `from` on, without library and result.
    std::vector<std::string> BusCalls(size_t from = 0) const {
        std::vector<std::string> calls;
        const std::vector<std::string> journal = Journal();
        for (size_t i = from; i < journal.size(); ++i) {
            const std::string call = journal[i].substr(journal[i].find(' ') + 1);
            for (const char* name : {"getxmitslot(", "GetXmitSlot(", "listen(", "Listen(",
                                     "GetNetworkH(", "sw_set_output("}) {
                if (call.find(name) != std::string::npos)
                    calls.push_back(call.substr(0, call.find('(')));
            }
        }
        return calls;
    }

    std::shared_ptr<ChannelStoreForTests> store_ = std::make_shared<ChannelStoreForTests>();
    std::optional<TestFacade> hardware_;
};

}  // namespace ruzd::telephony
