#include "ziplib/zip_crypto.h"

#include <zlib.h>

namespace ost::zip {

namespace {

uint32_t CrcByte(uint32_t crc, uint8_t b) {
    // One step of the raw CRC-32 register, as the cipher's key schedule defines it.
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password) : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
    for (const char c : password)
        Update(static_cast<uint8_t>(c));
}

void TraditionalCipher::Update(uint8_t plain) {
    keys_[0] = CrcByte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcByte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t TraditionalCipher::StreamByte() const {
    const uint32_t temp = (keys_[2] | 2) & 0xFFFF;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void TraditionalCipher::Encrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const uint8_t plain = data[i];
        data[i] = plain ^ StreamByte();
        Update(plain);
    }
}

void TraditionalCipher::Decrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        data[i] ^= StreamByte();
        Update(data[i]);
    }
}

std::array<uint8_t, TraditionalCipher::kHeaderSize> TraditionalCipher::MakeHeader(
    const std::array<uint8_t, kHeaderSize - 1>& random,
    uint32_t crc) {
    std::array<uint8_t, kHeaderSize> header{};
    for (size_t i = 0; i < random.size(); ++i)
        header[i] = random[i];
    header[kHeaderSize - 1] = static_cast<uint8_t>(crc >> 24);
    Encrypt(header.data(), header.size());
    return header;
}

}  // namespace ost::zip
