#pragma once
// Property-list files: XML and binary read, XML written atomically.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace fd {

// Parses XML or binary property-list bytes. nullopt (and a message in *error)
// on anything that is not a whole, valid property list.
std::optional<Value> parsePropertyList(const Data& bytes, std::string* error = nullptr);
std::optional<Value> readPropertyList(const std::filesystem::path& path, std::string* error = nullptr);

// XML property-list text of a value. Null values inside containers are left out
// (property lists have no null); a null root gives an empty dictionary.
std::string serializePropertyListXML(const Value& value);

// Writes the XML form atomically (temp file in the same folder, fsync, rename).
// On failure the previous file is untouched and false is returned.
bool writePropertyList(const std::filesystem::path& path, const Value& value);

}  // namespace fd
