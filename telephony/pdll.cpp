#include "telephony/pdll.h"

namespace ruzd::telephony {

bool PDLL::Load(uint16_t /*unused*/) {
    ++load_count_;
    if (load_count_ != 1 || !name_)
        return false;
    return module_.Load(*name_);
}

PDLL::~PDLL() {
    load_count_ = 1;
    Release();
}

void PDLL::LoadFrom(const char* file_name) {
    if (file_name != nullptr)
        SetName(file_name);
    if (name_)
        module_.Load(*name_);
}

bool PDLL::SetName(const char* file_name) {
    if (IsLoaded())
        return false;
    if (file_name == nullptr) {
        name_.reset();
    } else {
        name_ = file_name;
    }
    return true;
}

void PDLL::Release() {
    if (load_count_ != 0)
        --load_count_;
    if (load_count_ < 1) {
        module_.Free();
        name_.reset();
    }
}

void* PDLL::FindExport(const char* name) {
    if (!IsLoaded())
        return nullptr;
    return module_.Symbol(name);
}

}  // namespace ruzd::telephony
