#pragma once
// Interface texts from the string tables under resources/strings. The literal
// is the key; a key without a translation shows as itself.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace fd {

std::string Localized(std::string_view key);
// Language of the tables ("en", "zh-Hans", ...). Defaults to $LANG's language,
// falling back to "en". Reloads the table.
void setLocalizationLanguage(const std::string& language);
std::string localizationLanguage();

// A table in the "key" = "value"; format (UTF-8 or UTF-16 with a byte-order
// mark, /* */ and // comments). nullopt when the text is malformed.
std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes);

}  // namespace fd
