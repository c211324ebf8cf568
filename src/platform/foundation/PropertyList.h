#pragma once
// Property-list files: XML and binary read, XML written atomically.
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd {

// Parses XML or binary property-list bytes. A failure for anything that is not
// a whole, valid property list, for lists nested deeper than 512 levels or
// holding a string with a NUL character, and for lists that would build more
// than kMaxPropertyListBuildBytes (all refused before a value is made). A list
// is only taken when it would be taken again once the program writes it back:
// one whose XML form would pass kMaxPropertyListBytes, or build past
// kMaxPropertyListBuildBytes when read, is refused too (12 KB of shared dates
// stand for 70.6 MB of XML).
Expected<Value> parsePropertyList(const Data& bytes);

// The largest property-list file the program reads. Its lists of a hundred
// thousand items take about 7 MB; a larger file is taken for a damaged one
// and refused by its size, unread, so that no file can make a start or a
// glance at a project take gigabytes.
inline constexpr std::uintmax_t kMaxPropertyListBytes = std::uintmax_t{64} << 20;

// The most memory a list may take once read: every value, dictionary entry
// and byte of string and data it builds, an object a binary list shares
// counted each time it is copied out. The bytes of a file say little of
// that (19 KB of shared references can stand for 32 GB of values), so a
// read is charged before it builds and a list past this is taken for a
// damaged one. The program's own lists of a hundred thousand items build a
// few tens of MB; this keeps the file, its values and a copy of them under
// a gigabyte.
inline constexpr std::uintmax_t kMaxPropertyListBuildBytes = std::uintmax_t{256} << 20;

// The file's list, read within kMaxPropertyListBytes.
Expected<Value> readPropertyList(const std::filesystem::path& path);

// XML property-list text of a value, made in one pass (time and memory follow
// the length of the text). Null values inside containers are left out
// (property lists have no null); a null root gives an empty dictionary; a
// string or key ends at its first NUL.
std::string serializePropertyListXML(const Value& value);
// The length of that text, counted by the same writer without making it.
std::uint64_t writtenPropertyListSize(const Value& value);

// Writes the XML form atomically (temp file in the same folder, fsync, rename).
// On failure the previous file is untouched. A value whose file would not be
// read again (past kMaxPropertyListBytes, or building past the budget once
// read) is refused and nothing is written: a list grown by the program's own
// edits never turns into one the next start sets aside. A file that already
// holds that form is left as it is: a save of unchanged state writes nothing.
Status writePropertyList(const std::filesystem::path& path, const Value& value);

}  // namespace fd
