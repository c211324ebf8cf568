#pragma once
// Small model utilities: time-stamp ids, the free-name rule shared by projects
// and layers, the random helpers, and the words for running out of memory or
// room for the list of projects, and for an end asked.
#include <cstddef>
#include <string>
#include <vector>

// How an operation refused for want of memory says why, after "could not be
// imported: " and the like.
inline constexpr const char* kOutOfMemoryReason = "there was not enough memory for it";
// How an operation refused because the list of projects could not be stored
// says why.
inline constexpr const char* kListNotWrittenReason = "the list of projects could not be written (the disk may be full)";
// How an operation that gave up because the program was asked to end says
// why, in the same place.
inline constexpr const char* kEndingReason = "the program is ending";

class Tools {
 public:
  // A "yyyyMMddHHmmssSSS" id of now. Every id of the process comes from one
  // strictly increasing source, so no two ids are ever equal, whichever object
  // asked for them (projects being combined included).
  static std::string dateString();
  static int randInteger();
  // b when b == e, else b + (rand() mod |e - b|).
  static int randValueBegin(int b, int e);
  // The first free name from `name`: a taken name gets "copy1", a taken
  // "...copyN..." gets the next number after its first "copy".
  static std::string uniqueName(const std::string& name, const std::vector<std::string>& taken);
  // The same free name, no longer than maxBytes: the name is cut at a whole
  // character, and cut further where its free form would not fit. For names
  // nobody typed (an imported package's); a typed name is told, not cut.
  static std::string uniqueNameWithin(const std::string& name, const std::vector<std::string>& taken,
                                      std::size_t maxBytes);
};
