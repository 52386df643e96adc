#include "net/rc4_cipher.h"

namespace ruzd::net {

Rc4Key DeriveRc4Key(std::string_view password) {
    md5_ctx context;
    md5_init(&context);
    md5_update(&context, password.size(), reinterpret_cast<const uint8_t*>(password.data()));
    Rc4Key key{};
    md5_digest(&context, key.size(), key.data());
    return key;
}

void Rc4Cipher::SetKey(const uint8_t* key, size_t length) {
    arcfour_set_key(&context_, length, key);
    keyed_ = true;
}

void Rc4Cipher::Clear() {
    context_ = arcfour_ctx{};
    keyed_ = false;
}

bool Rc4Cipher::Crypt(uint8_t* data, size_t length) {
    if (!keyed_) {
        return false;
    }
    arcfour_crypt(&context_, length, data, data);
    return true;
}

}  // namespace ruzd::net
