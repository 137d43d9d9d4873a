// The zip format's traditional (PKWARE) encryption, as every zip reader can decrypt it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ost::zip {

// The stream cipher of traditional zip encryption, keyed by a password.
class TraditionalCipher {
  public:
    // The 12-byte header that starts an encrypted entry's data.
    static constexpr size_t kHeaderSize = 12;

    explicit TraditionalCipher(std::string_view password);

    // Encrypts in place.
    void Encrypt(uint8_t* data, size_t size);
    void Decrypt(uint8_t* data, size_t size);

    // The entry's encrypted header: eleven random bytes from `random` and, last, the high byte of
    // the entry's CRC-32, which readers check the password against. Advances the cipher.
    std::array<uint8_t, kHeaderSize> MakeHeader(const std::array<uint8_t, kHeaderSize - 1>& random, uint32_t crc);

  private:
    void Update(uint8_t plain);
    uint8_t StreamByte() const;
    uint32_t keys_[3];
};

}  // namespace ost::zip
