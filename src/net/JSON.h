#pragma once
// The JSON reader the system's services use on response texts.
#include <optional>
#include <string_view>

#include "platform/foundation/Value.h"

// The value of a JSON text (RFC 8259, read strictly: no comments, no trailing
// commas, no NaN or Infinity, nothing after the value), with its arrays and
// dictionaries free to change. nullopt when the text is not valid JSON, and
// also for a number too large for a double and for nesting deeper than
// kMaxJSONDepth. Integers that fit 64 bits signed are integers; larger ones and
// numbers with a fraction or exponent are reals. Of repeated keys the last wins.
std::optional<fd::Value> mutableObjectFromJSONString(std::string_view text);

inline constexpr std::size_t kMaxJSONDepth = 512;
