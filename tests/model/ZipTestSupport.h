#pragma once
// Archive building blocks for the zip and package tests: well-formed and
// deliberately hostile archives made entry by entry with minizip's raw mode,
// plus small file and tree helpers.
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/zip/TraditionalCipher.h"

namespace ziptest {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

inline std::vector<std::uint8_t> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t crcOf(const std::vector<std::uint8_t>& bytes) {
  return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

inline std::vector<std::uint8_t> rawDeflate(const std::vector<std::uint8_t>& plain) {
  z_stream s{};
  deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(deflateBound(&s, plain.size()) + 16);
  s.next_in = const_cast<Bytef*>(plain.data());
  s.avail_in = static_cast<uInt>(plain.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// Every relative path below root with the file's bytes ("" for folders).
inline std::map<std::string, std::vector<std::uint8_t>> snapshotTree(const fs::path& root) {
  std::map<std::string, std::vector<std::uint8_t>> tree;
  std::error_code ec;
  if (!fs::exists(root, ec)) return tree;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string rel = it->path().lexically_relative(root).generic_string();
    if (it->is_symlink()) {
      tree[rel] = bytesOf("->" + fs::read_symlink(it->path(), ec).string());
    } else if (it->is_regular_file()) {
      tree[rel] = readBytes(it->path());
    } else {
      tree[rel] = {};
    }
  }
  return tree;
}

// One entry as it goes into the archive. Defaults make an honest deflated
// entry of `content`; the optional fields lie or attack.
struct Entry {
  std::string name;
  std::vector<std::uint8_t> content;
  int method = Z_DEFLATED;                 // 0 stores
  std::optional<std::string> password = std::nullopt;  // traditional encryption
  std::optional<std::uint32_t> crc = std::nullopt;  // declared CRC instead of the real one
  std::optional<std::uint64_t> declaredSize = std::nullopt;
  std::optional<std::vector<std::uint8_t>> payload = std::nullopt;  // stored bytes instead of the stream
  unsigned long versionMadeBy = 0;
  unsigned long externalAttributes = 0;
  std::uint32_t dateField = 0x12345678;
};

// Encryption headers take their salt from `salts`, in entry order, as the
// wrapper draws them.
inline bool addEntry(zipFile zip, const Entry& e, zipcrypto::HeaderSource& salts) {
  zip_fileinfo info{};
  info.dosDate = e.dateField;
  info.external_fa = e.externalAttributes;
  const std::uint32_t realCrc = crcOf(e.content);
  std::vector<std::uint8_t> stream =
      e.payload ? *e.payload : (e.method == Z_DEFLATED ? rawDeflate(e.content) : e.content);
  unsigned long flag = 0;
  if (e.password) {
    zipcrypto::TraditionalCipher cipher(*e.password);
    auto header = zipcrypto::makeHeader(cipher, salts.next(), e.crc.value_or(realCrc));
    cipher.encrypt(stream.data(), stream.size());
    stream.insert(stream.begin(), header.begin(), header.end());
    flag = 1;
  }
  if (zipOpenNewFileInZip4(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, e.method,
                           Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, e.versionMadeBy,
                           flag) != ZIP_OK) {
    return false;
  }
  if (!stream.empty() &&
      zipWriteInFileInZip(zip, stream.data(), static_cast<unsigned>(stream.size())) != ZIP_OK) {
    return false;
  }
  return zipCloseFileInZipRaw(zip, static_cast<uLong>(e.declaredSize.value_or(e.content.size())),
                              e.crc.value_or(realCrc)) == ZIP_OK;
}

inline bool buildArchive(const fs::path& path, const std::vector<Entry>& entries,
                         std::optional<std::uint32_t> seed = std::nullopt) {
  fs::create_directories(path.parent_path());
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  zipcrypto::HeaderSource salts = seed ? zipcrypto::HeaderSource(*seed) : zipcrypto::HeaderSource();
  bool ok = true;
  for (const Entry& e : entries) ok = addEntry(zip, e, salts) && ok;
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// A Unix-made entry carrying a mode in the high half of its attributes.
inline Entry unixEntry(std::string name, std::string content, unsigned mode) {
  Entry e;
  e.name = std::move(name);
  e.content = bytesOf(content);
  e.versionMadeBy = 3u << 8;
  e.externalAttributes = static_cast<unsigned long>(mode) << 16;
  return e;
}

// Calls patch(header, isLocal) on every local and central header of the entry
// named `name`; answers how many it patched.
template <typename Patch>
int patchHeaders(const fs::path& path, const std::string& name, Patch patch) {
  auto bytes = readBytes(path);
  int patched = 0;
  const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(bytes[at] | (bytes[at + 1] << 8)); };
  for (std::size_t i = 0; i + 46 <= bytes.size(); ++i) {
    if (bytes[i] != 'P' || bytes[i + 1] != 'K') continue;
    const bool local = bytes[i + 2] == 3 && bytes[i + 3] == 4;
    const bool central = bytes[i + 2] == 1 && bytes[i + 3] == 2;
    if (!local && !central) continue;
    const std::size_t nameAt = i + (local ? 30 : 46);
    const std::size_t nameLength = u16(i + (local ? 26 : 28));
    if (nameLength != name.size() || nameAt + nameLength > bytes.size()) continue;
    if (std::string(bytes.begin() + static_cast<std::ptrdiff_t>(nameAt),
                    bytes.begin() + static_cast<std::ptrdiff_t>(nameAt + nameLength)) != name) {
      continue;
    }
    patch(bytes.data() + i, local);
    ++patched;
  }
  writeBytes(path, bytes);
  return patched;
}

// Points the directory records from the `from`th on (0 the first) at the
// local header of that one, as an archive whose records share one stored
// stream does. The records carry no extra field or comment, as
// buildArchive writes them.
inline void pointRecordsAtOneStream(const fs::path& path, std::size_t from) {
  auto bytes = readBytes(path);
  const std::size_t end = bytes.size() - 22;
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (bytes[at + 3] << 24));
  };
  std::uint32_t shared = 0;
  std::size_t index = 0;
  for (std::size_t at = u32(end + 16); at < end; at += 46 + bytes[at + 28] + (bytes[at + 29] << 8), ++index) {
    if (index == from) shared = u32(at + 42);
    if (index < from) continue;
    for (int b = 0; b < 4; ++b) bytes[at + 42 + b] = static_cast<std::uint8_t>(shared >> (8 * b));
  }
  writeBytes(path, bytes);
}

inline bool toolAvailable(const char* path) { return ::access(path, X_OK) == 0; }

inline std::string quoted(const fs::path& p) {
  std::string out = "'";
  for (char c : p.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A command for Python's zipfile that lists the archive (given quoted), reads
// its last entry through the password, and succeeds only when it lists
// `entries` entries.
inline std::string pythonReads(const std::string& quotedArchive, const std::string& password, std::size_t entries) {
  return "/usr/bin/python3 -c 'import sys, zipfile\n"
         "z = zipfile.ZipFile(sys.argv[1]); z.setpassword(sys.argv[2].encode())\n"
         "entries = z.infolist(); z.read(entries[-1])\n"
         "sys.exit(len(entries) != int(sys.argv[3]))' " +
         quotedArchive + " " + password + " " + std::to_string(entries);
}

}  // namespace ziptest
