#include "model/zip/TraditionalCipher.h"

#include <zlib.h>

#include <random>

namespace zipcrypto {

namespace {

constexpr std::uint32_t kKey0 = 305419896u;
constexpr std::uint32_t kKey1 = 591751049u;
constexpr std::uint32_t kKey2 = 878082192u;
constexpr std::uint32_t kMultiplier = 134775813u;

std::uint32_t crcStep(std::uint32_t crc, std::uint8_t byte) {
  static const z_crc_t* const table = get_crc_table();
  return static_cast<std::uint32_t>(table[(crc ^ byte) & 0xffu]) ^ (crc >> 8);
}

}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password) : key0_(kKey0), key1_(kKey1), key2_(kKey2) {
  for (char c : password) update(static_cast<std::uint8_t>(c));
}

std::uint8_t TraditionalCipher::keystreamByte() const {
  const std::uint32_t t = (key2_ | 2u) & 0xffffu;
  return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
}

void TraditionalCipher::update(std::uint8_t plain) {
  key0_ = crcStep(key0_, plain);
  key1_ = (key1_ + (key0_ & 0xffu)) * kMultiplier + 1u;
  key2_ = crcStep(key2_, static_cast<std::uint8_t>(key1_ >> 24));
}

void TraditionalCipher::encrypt(std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t plain = bytes[i];
    bytes[i] = plain ^ keystreamByte();
    update(plain);
  }
}

void TraditionalCipher::decrypt(std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t plain = bytes[i] ^ keystreamByte();
    bytes[i] = plain;
    update(plain);
  }
}

std::array<std::uint8_t, kHeaderSize> makeHeader(TraditionalCipher& cipher, std::uint32_t checkValue) {
  // The header only has to be unpredictable enough that equal files do not
  // start with equal cipher text; it is no key material.
  thread_local std::mt19937 random{std::random_device{}()};
  std::array<std::uint8_t, kHeaderSize> header{};
  for (std::size_t i = 0; i + 1 < kHeaderSize; ++i) header[i] = static_cast<std::uint8_t>(random() >> 24);
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
