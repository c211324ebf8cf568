#include "model/zip/TraditionalCipher.h"

#include <zlib.h>

namespace zipcrypto {

namespace {

constexpr std::uint32_t kKey0 = 305419896u;
constexpr std::uint32_t kKey1 = 591751049u;
constexpr std::uint32_t kKey2 = 878082192u;
constexpr std::uint32_t kMultiplier = 134775813u;

struct Keys {
  std::uint32_t k0, k1, k2;
  const z_crc_t* table;

  std::uint8_t streamByte() const {
    const std::uint32_t t = (k2 | 2u) & 0xffffu;
    return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
  }
  void update(std::uint8_t plain) {
    k0 = static_cast<std::uint32_t>(table[(k0 ^ plain) & 0xffu]) ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xffu)) * kMultiplier + 1u;
    k2 = static_cast<std::uint32_t>(table[(k2 ^ (k1 >> 24)) & 0xffu]) ^ (k2 >> 8);
  }
};

}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password) {
  Keys keys{kKey0, kKey1, kKey2, get_crc_table()};
  for (char c : password) keys.update(static_cast<std::uint8_t>(c));
  key0_ = keys.k0;
  key1_ = keys.k1;
  key2_ = keys.k2;
}

// The keys live in locals for the whole buffer: stores through the byte
// pointer could otherwise alias the members and force a reload per byte.
void TraditionalCipher::encrypt(std::uint8_t* bytes, std::size_t count) {
  Keys keys{key0_, key1_, key2_, get_crc_table()};
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t plain = bytes[i];
    bytes[i] = plain ^ keys.streamByte();
    keys.update(plain);
  }
  key0_ = keys.k0;
  key1_ = keys.k1;
  key2_ = keys.k2;
}

void TraditionalCipher::decrypt(std::uint8_t* bytes, std::size_t count) {
  Keys keys{key0_, key1_, key2_, get_crc_table()};
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t plain = bytes[i] ^ keys.streamByte();
    bytes[i] = plain;
    keys.update(plain);
  }
  key0_ = keys.k0;
  key1_ = keys.k1;
  key2_ = keys.k2;
}

// The header only has to be unpredictable enough that equal files do not
// start with equal cipher text; it is no key material.
HeaderSource::HeaderSource() : random_(std::random_device{}()) {}

HeaderSource::HeaderSource(std::uint32_t seed) : random_(seed) {}

HeaderSalt HeaderSource::next() {
  HeaderSalt salt{};
  for (std::uint8_t& b : salt) b = static_cast<std::uint8_t>(random_() >> 24);
  return salt;
}

std::array<std::uint8_t, kHeaderSize> makeHeader(TraditionalCipher& cipher, const HeaderSalt& salt,
                                                 std::uint32_t checkValue) {
  std::array<std::uint8_t, kHeaderSize> header{};
  for (std::size_t i = 0; i < salt.size(); ++i) header[i] = salt[i];
  header[kHeaderSize - 1] = static_cast<std::uint8_t>(checkValue >> 24);
  cipher.encrypt(header.data(), header.size());
  return header;
}

bool acceptHeader(TraditionalCipher& cipher, std::array<std::uint8_t, kHeaderSize> header,
                  std::uint32_t checkValue) {
  cipher.decrypt(header.data(), header.size());
  return header[kHeaderSize - 1] == static_cast<std::uint8_t>(checkValue >> 24);
}

}  // namespace zipcrypto
