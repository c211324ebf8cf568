#pragma once
// The zip format's traditional password cipher: a byte stream cipher driven by
// three 32-bit keys, with a 12-byte header whose last byte lets a reader tell
// a wrong password early. Weak by today's standards, but it is what packages
// carry and what every unzip tool reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string_view>

namespace zipcrypto {

inline constexpr std::size_t kHeaderSize = 12;

// The eleven random bytes that open an entry's encryption header.
using HeaderSalt = std::array<std::uint8_t, kHeaderSize - 1>;

class TraditionalCipher {
 public:
  explicit TraditionalCipher(std::string_view password);

  // Each key step depends on the byte before, so a buffer is one tight loop
  // over keys held in registers; callers hand over whole buffers.
  void encrypt(std::uint8_t* bytes, std::size_t count);
  void decrypt(std::uint8_t* bytes, std::size_t count);

 private:
  std::uint32_t key0_, key1_, key2_;
};

// Where header salts come from: unpredictable by default, fixed by a seed
// where an archive's bytes must be reproducible.
class HeaderSource {
 public:
  HeaderSource();
  explicit HeaderSource(std::uint32_t seed);
  HeaderSalt next();

 private:
  std::mt19937 random_;
};

// The encryption header for an entry: the salt and, last, the high byte of
// the check value (the entry's CRC-32 when sizes are known up front).
// Encrypts it with the cipher, which then continues with the entry's data.
std::array<std::uint8_t, kHeaderSize> makeHeader(TraditionalCipher& cipher, const HeaderSalt& salt,
                                                 std::uint32_t checkValue);

// Decrypts a header read from an archive and answers whether its last byte
// matches the check value's high byte (a wrong password fails this 255 times
// in 256).
bool acceptHeader(TraditionalCipher& cipher, std::array<std::uint8_t, kHeaderSize> header,
                  std::uint32_t checkValue);

}  // namespace zipcrypto
