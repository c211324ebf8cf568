#pragma once
// Checks made on property-list bytes before they are read. The XML parser
// recurses once per level of nesting and trusts the strings it is given, so a
// hostile file could overflow the stack or trip the parser's own assertions;
// these checks walk the bytes without recursion and refuse such files first.
// A binary list that passes is then read here, straight from its object table.
#include <cstddef>
#include <cstdint>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd::plistcheck {

// Deep enough for any file this program writes; hostile nesting stops here.
inline constexpr int kMaxDepth = 512;
// Nodes a binary list may expand to once shared objects are copied out.
inline constexpr std::uint64_t kMaxNodes = std::uint64_t{1} << 21;

// Binary form ("bplist00"): the object table is in bounds, free of cycles, no
// deeper than kMaxDepth, expands to at most kMaxNodes, and holds no string or
// key with a NUL character.
Status checkBinary(const Data& bytes);
// The value of a binary list that checkBinary accepted, read straight from its
// object table in time linear in the values it expands to. Kinds with no
// value here (null and fill objects) and keys that are no strings fail it.
Expected<Value> readCheckedBinary(const Data& bytes);
// XML form: elements nest no deeper than kMaxDepth levels of values, and the
// text holds no NUL character.
Status checkXML(const Data& bytes);

}  // namespace fd::plistcheck
