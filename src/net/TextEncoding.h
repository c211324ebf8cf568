#pragma once
// Response bodies as text: the program's strings are UTF-8, bodies arrive in
// whatever charset their Content-Type names, Latin-1 when it names none.
#include <optional>
#include <string>
#include <string_view>

namespace net_text {

// The charset parameter of a Content-Type value ("text/html; charset=UTF-8"
// gives "UTF-8"), without quotes; nullopt when there is none.
std::optional<std::string> charsetOf(std::string_view contentType);

// The bytes as UTF-8, decoded from `charset` (Latin-1 when nullopt or when the
// charset is unknown); nullopt when the bytes are not valid in that charset.
std::optional<std::string> decodeToUTF8(std::string_view bytes, const std::optional<std::string>& charset);

}  // namespace net_text
