#pragma once
// Interface texts from the string tables under resources/strings. The literal
// is the key; a key without a translation shows as itself.
#include <string>
#include <string_view>

namespace fd {

std::string Localized(std::string_view key);
// Language of the tables ("en", "zh-Hans", ...). Defaults to $LANG's language,
// falling back to "en". Reloads the table.
void setLocalizationLanguage(const std::string& language);
std::string localizationLanguage();

}  // namespace fd
