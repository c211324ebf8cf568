#pragma once
// Unique names: "yyyyMMddHHmmssSSS" in local time, strictly increasing within
// the process even when two are asked in one millisecond or the clock steps back.
#include <chrono>
#include <functional>
#include <string>

namespace fd {

std::string timestampId();
// Formats a wall-clock time as "yyyyMMddHHmmssSSS" in local time.
std::string formatTimestampId(std::chrono::system_clock::time_point t);
// Replaces the wall clock the ids are read from (an empty function restores
// it) and forgets the last id issued.
void setTimestampClockForTesting(std::function<std::chrono::system_clock::time_point()> clock);

}  // namespace fd
