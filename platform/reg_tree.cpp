#include "platform/reg_tree.h"

#include <algorithm>

#include "platform/text.h"

namespace ruzd::platform {
namespace {

bool UpperLess(std::string_view a, std::string_view b) {
    return AsciiUpper(a) < AsciiUpper(b);
}

}  // namespace

RegNode* RegNode::FindSubkey(std::string_view name) const {
    for (const auto& subkey : subkeys_) {
        if (EqualsIgnoreCase(subkey->name(), name)) {
            return subkey.get();
        }
    }
    return nullptr;
}

RegNode* RegNode::AddSubkey(std::string_view name) {
    if (RegNode* existing = FindSubkey(name)) {
        return existing;
    }
    auto place = std::find_if(subkeys_.begin(), subkeys_.end(), [name](const auto& subkey) {
        return UpperLess(name, subkey->name());
    });
    return subkeys_.insert(place, std::make_unique<RegNode>(std::string(name)))->get();
}

bool RegNode::RemoveSubkey(std::string_view name) {
    auto found = std::find_if(subkeys_.begin(), subkeys_.end(), [name](const auto& subkey) {
        return EqualsIgnoreCase(subkey->name(), name);
    });
    if (found == subkeys_.end()) {
        return false;
    }
    subkeys_.erase(found);
    return true;
}

RegNode* RegNode::Find(const std::vector<std::string>& path) const {
    auto* node = const_cast<RegNode*>(this);
    for (const std::string& part : path) {
        node = node->FindSubkey(part);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

const RegValue* RegNode::FindValue(std::string_view name) const {
    for (const RegValue& value : values_) {
        if (EqualsIgnoreCase(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void RegNode::SetValue(std::string_view name, uint32_t type, std::string data, size_t line) {
    if (auto* existing = const_cast<RegValue*>(FindValue(name))) {
        existing->type = type;
        existing->data = std::move(data);
        existing->line = line;
        return;
    }
    values_.push_back(RegValue{std::string(name), type, std::move(data), line});
}

bool RegNode::RemoveValue(std::string_view name) {
    auto found = std::find_if(values_.begin(), values_.end(), [name](const RegValue& value) {
        return EqualsIgnoreCase(value.name, name);
    });
    if (found == values_.end()) {
        return false;
    }
    values_.erase(found);
    return true;
}

}  // namespace ruzd::platform
