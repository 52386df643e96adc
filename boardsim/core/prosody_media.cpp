#include "boardsim/core/prosody_media.h"

#include <cstdio>

#include "boardsim/core/aculab_system.h"

namespace ruzd::boardsim {
namespace {

constexpr int32_t kInputType = 0;
constexpr int32_t kOutputType = 1;

std::string IdText(ProsodyMedia::Id id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%jx", static_cast<uintmax_t>(id));
    return text;
}

const char* KindName(ProsodyMedia::Kind kind) {
    switch (kind) {
        case ProsodyMedia::Kind::kInput:
        case ProsodyMedia::Kind::kOutput:
            return "channel";
        case ProsodyMedia::Kind::kVmpRx:
            return "vmprx";
        case ProsodyMedia::Kind::kVmpTx:
            return "vmptx";
        case ProsodyMedia::Kind::kTdmRx:
            return "tdmrx";
        case ProsodyMedia::Kind::kTdmTx:
            return "tdmtx";
    }
    return "?";
}

bool IsChannel(ProsodyMedia::Kind kind) {
    return kind == ProsodyMedia::Kind::kInput || kind == ProsodyMedia::Kind::kOutput;
}

}  // namespace

ProsodyMedia::Object* ProsodyMedia::Find(Kind kind, Id id) {
    const auto found = objects_.find(id);
    return found != objects_.end() && found->second.kind == kind ? &found->second : nullptr;
}

const ProsodyMedia::Object* ProsodyMedia::Find(Kind kind, Id id) const {
    const auto found = objects_.find(id);
    return found != objects_.end() && found->second.kind == kind ? &found->second : nullptr;
}

int32_t ProsodyMedia::AllocateChannel(int32_t module, int32_t type, Id* id) {
    if ((type != kInputType && type != kOutputType) || !cards_.IsModuleOpen(module))
        return kAculabBadParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    *id = NextId();
    Object& channel = objects_[*id];
    channel.kind = type == kInputType ? Kind::kInput : Kind::kOutput;
    channel.module = module;
    return 0;
}

int32_t ProsodyMedia::SwitchChannel(Id channel, Kind kind, int32_t stream, int32_t slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* object = Find(kind, channel);
    if (object == nullptr || stream < 0 || slot < 0)
        return kAculabBadParameter;
    object->stream = stream;
    object->slot = slot;
    return 0;
}

int32_t ProsodyMedia::PlayDigits(Id channel, const std::string& digits) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* object = Find(Kind::kOutput, channel);
    if (object == nullptr)
        return kAculabBadParameter;
    object->digits += digits;
    return 0;
}

int32_t ProsodyMedia::ReleaseChannel(Id channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = objects_.find(channel);
    if (found == objects_.end() || !IsChannel(found->second.kind))
        return kAculabBadParameter;
    objects_.erase(found);
    return 0;
}

int32_t ProsodyMedia::ConditionInput(Id input, Id reference, Id output) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* object = Find(Kind::kInput, input);
    if (object == nullptr || Find(Kind::kInput, reference) == nullptr ||
        Find(Kind::kOutput, output) == nullptr || reference == input)
        return kAculabBadParameter;
    object->cancels_echo = true;
    object->reference = reference;
    object->output = output;
    return 0;
}

int32_t ProsodyMedia::Adjust(Id input, int32_t adjustment) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* object = Find(Kind::kInput, input);
    if (object == nullptr || !object->cancels_echo)
        return kAculabBadParameter;
    object->adjustments.insert(adjustment);
    return 0;
}

int32_t ProsodyMedia::AdjustSpan(Id input, int32_t span) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* object = Find(Kind::kInput, input);
    if (object == nullptr || !object->cancels_echo || span <= 0)
        return kAculabBadParameter;
    object->span = span;
    return 0;
}

int32_t ProsodyMedia::CreateContext(Kind kind, int32_t module, int32_t stream, int32_t slot,
                                    Id* id) {
    const bool tdm = kind == Kind::kTdmRx || kind == Kind::kTdmTx;
    if (IsChannel(kind) || !cards_.IsModuleOpen(module) || (tdm && (stream < 0 || slot < 0)))
        return kAculabBadParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    *id = NextId();
    Object& context = objects_[*id];
    context.kind = kind;
    context.module = module;
    if (tdm) {
        context.stream = stream;
        context.slot = slot;
    }
    if (kind == Kind::kVmpRx) {
        context.rtp_port = next_port_;
        next_port_ += 2;
    }
    return 0;
}

int32_t ProsodyMedia::DestroyContext(Kind kind, Id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Object* context = Find(kind, id);
    if (context == nullptr || IsChannel(kind))
        return kAculabBadParameter;
    if (context->feed != 0) {
        for (auto& [other, object] : objects_) {
            if (object.source == context->feed)
                object.source = 0;
        }
        feed_owners_.erase(context->feed);
    }
    objects_.erase(id);
    return 0;
}

int32_t ProsodyMedia::StopContext(Kind kind, Id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* context = Find(kind, id);
    if (context == nullptr || (kind != Kind::kVmpRx && kind != Kind::kVmpTx))
        return kAculabBadParameter;
    context->running = false;
    return 0;
}

int32_t ProsodyMedia::Datafeed(Kind kind, Id id, Id* feed) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* context = Find(kind, id);
    if (context == nullptr || (kind != Kind::kTdmRx && kind != Kind::kVmpRx))
        return kAculabBadParameter;
    if (context->feed == 0) {
        context->feed = NextId();
        feed_owners_[context->feed] = id;
    }
    *feed = context->feed;
    return 0;
}

int32_t ProsodyMedia::Connect(Kind kind, Id id, Id feed) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* context = Find(kind, id);
    if (context == nullptr || (kind != Kind::kVmpTx && kind != Kind::kTdmTx) ||
        (feed != 0 && feed_owners_.count(feed) == 0))
        return kAculabBadParameter;
    context->source = feed;
    return 0;
}

int32_t ProsodyMedia::Ports(Id vmprx, uint32_t* rtp, uint32_t* rtcp) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Object* context = Find(Kind::kVmpRx, vmprx);
    if (context == nullptr)
        return kAculabBadParameter;
    *rtp = context->rtp_port;
    *rtcp = context->rtp_port + 1;
    return 0;
}

int32_t ProsodyMedia::Configure(Kind kind, Id id, const std::string& setting) {
    std::lock_guard<std::mutex> lock(mutex_);
    Object* context = Find(kind, id);
    if (context == nullptr || (kind != Kind::kVmpRx && kind != Kind::kVmpTx))
        return kAculabBadParameter;
    context->settings.push_back(setting);
    return 0;
}

bool ProsodyMedia::Is(Kind kind, Id id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Find(kind, id) != nullptr;
}

void ProsodyMedia::ForgetModule(int32_t module) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(objects_,
                  [module](const auto& object) { return object.second.module == module; });
    std::erase_if(feed_owners_,
                  [this](const auto& feed) { return objects_.count(feed.second) == 0; });
}

std::string ProsodyMedia::SourceText(Id feed) const {
    const auto owner = feed_owners_.find(feed);
    if (owner == feed_owners_.end())
        return "none";
    return std::string(KindName(objects_.at(owner->second).kind)) + ":" + IdText(owner->second);
}

std::string ProsodyMedia::Describe(int32_t module) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const auto& entry : objects_) {
        const Object& object = entry.second;
        if (object.module != module)
            continue;
        std::string word = std::string(KindName(object.kind)) + "=" + IdText(entry.first);
        const auto place = [&object] {
            return object.stream < 0
                       ? std::string(":-:-")
                       : ":" + std::to_string(object.stream) + ":" + std::to_string(object.slot);
        };
        switch (object.kind) {
            case Kind::kInput:
            case Kind::kOutput:
                word += std::string(object.kind == Kind::kInput ? ":in" : ":out") + place();
                if (object.cancels_echo) {
                    std::string adjustments;
                    for (const int32_t adjustment : object.adjustments)
                        adjustments +=
                            (adjustments.empty() ? "" : "+") + std::to_string(adjustment);
                    word += ":echo(ref=" + IdText(object.reference) +
                            ",out=" + IdText(object.output) + ",adjust=" + adjustments +
                            ",span=" + std::to_string(object.span) + ")";
                }
                if (!object.digits.empty())
                    word += ":digits=" + object.digits;
                break;
            case Kind::kVmpRx:
                word += object.running ? ":running" : ":stopped";
                break;
            case Kind::kVmpTx:
                word += std::string(object.running ? ":running" : ":stopped") +
                        ":from=" + SourceText(object.source);
                break;
            case Kind::kTdmRx:
                word += place();
                break;
            case Kind::kTdmTx:
                word += place() + ":from=" + SourceText(object.source);
                break;
        }
        for (const std::string& setting : object.settings)
            word += ":" + setting;
        text += (text.empty() ? "" : " ") + word;
    }
    return text.empty() ? "none" : text;
}

}  // namespace ruzd::boardsim
