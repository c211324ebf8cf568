#pragma once
// Whether the address-space ceiling the program was started under leaves
// room to build a desk. The first desk loads the GL driver and starts its
// rasteriser, and under too low a ceiling a thread some library cannot start
// ends the process there; asked first, the launch screen says so instead.
#include <cstdint>
#include <optional>
#include <string>

namespace desk_room {

// The address space a desk entered now needs beyond what the process holds:
// the first one loads the GL driver and starts its rasteriser, a later one
// takes the place of the last.
std::uint64_t need();

// The words telling the user the ceiling leaves too little room for a desk,
// or nothing when it leaves enough (or there is no ceiling).
std::optional<std::string> shortfall();

}  // namespace desk_room
