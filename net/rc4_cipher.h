#pragma once

// The stream cipher of the file-transfer connection: RC4 keyed with the MD5 digest of a
// password both ends know. Each direction has its own cipher state, and each state runs on
// across messages for the life of the connection, so both ends must see every byte in order.

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ruzd::net {

// The password compiled into both ends of the file-transfer connection.
inline constexpr std::string_view kFileSocketPassword = "Ruzd+FileSync_7Qm3Vx9Lc2Tb8N-kW4";

using Rc4Key = std::array<uint8_t, MD5_DIGEST_SIZE>;

// The 16-byte MD5 digest of the password's bytes (no terminator, no salt).
Rc4Key DeriveRc4Key(std::string_view password);

class Rc4Cipher {
public:
    Rc4Cipher() = default;

    // Starts a fresh key stream.
    void SetKey(const uint8_t* key, size_t length);
    void SetKey(const Rc4Key& key) { SetKey(key.data(), key.size()); }
    // Forgets the key; Crypt then refuses.
    void Clear();
    bool HasKey() const { return keyed_; }

    // Encrypts or decrypts in place (the same operation), moving the key stream on. False
    // without a key.
    bool Crypt(uint8_t* data, size_t length);

private:
    arcfour_ctx context_{};
    bool keyed_ = false;
};

}  // namespace ruzd::net
