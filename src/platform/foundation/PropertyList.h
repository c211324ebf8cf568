#pragma once
// Property-list files: XML and binary read, XML written atomically.
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd {

// Parses XML or binary property-list bytes. A failure for anything that is not
// a whole, valid property list, and for lists nested deeper than 512 levels or
// holding a string with a NUL character (refused before the parser sees them).
Expected<Value> parsePropertyList(const Data& bytes);

// The largest property-list file the program reads. Its lists of a hundred
// thousand items take about 7 MB; a larger file is taken for a damaged one
// and refused by its size, unread, so that no file can make a start or a
// glance at a project take gigabytes.
inline constexpr std::uintmax_t kMaxPropertyListBytes = std::uintmax_t{64} << 20;

// The file's list, read within kMaxPropertyListBytes.
Expected<Value> readPropertyList(const std::filesystem::path& path);

// XML property-list text of a value, made in one pass (time and memory follow
// the length of the text). Null values inside containers are left out
// (property lists have no null); a null root gives an empty dictionary; a
// string or key ends at its first NUL.
std::string serializePropertyListXML(const Value& value);

// Writes the XML form atomically (temp file in the same folder, fsync, rename).
// On failure the previous file is untouched.
Status writePropertyList(const std::filesystem::path& path, const Value& value);

}  // namespace fd
