#pragma once
// Interface texts from the string tables under resources/strings. The literal
// is the key; a key without a translation shows as itself.
#include <cstddef>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fd {

std::string Localized(std::string_view key);
// The text of a key with each "%@" replaced by the next value, in order. The
// values (names, reasons) go into the sentence as one line: a line or
// paragraph break inside one, as a name may hold, reads as a space; a value
// between the sentence's curved quotation marks is a name, set apart from
// the sentence's direction (fd::isolated).
std::string filled(std::string_view key, std::initializer_list<std::string> values);
// Language of the tables ("en", "zh-Hans", ...). Defaults to $LANG's language,
// falling back to "en". Reloads the table.
void setLocalizationLanguage(const std::string& language);
std::string localizationLanguage();

// The keys asked for since the table was (re)loaded that it gave no text
// for, in the order first asked: a key shown as itself is a text nobody
// worded. At most kMaxKeysWithoutText are kept.
inline constexpr std::size_t kMaxKeysWithoutText = 256;
std::vector<std::string> keysWithoutText();

// A table in the "key" = "value"; format (UTF-8 or UTF-16 with a byte-order
// mark, /* */ and // comments). nullopt when the text is malformed.
std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes);

}  // namespace fd
