#pragma once
// Unique names: "yyyyMMddHHmmssSSS" in local time, strictly increasing within
// the process. An id is never ahead of the clock: when the clock still reads
// the last id's millisecond the next one waits until it has moved on, so a
// program started again right after a burst of ids cannot issue them again.
#include <chrono>
#include <functional>
#include <string>

namespace fd {

std::string timestampId();
// An id of the same clock for one of many drawn together (a combination's
// new layers and frames): it never waits for the clock to move on. The first
// id of a millisecond is the plain one; later ones within it carry a count,
// "yyyyMMddHHmmssSSS-0001" up to "-9999", so they are no further ahead of
// the clock than a plain id, and only a ten-thousandth id within one
// millisecond waits for the next. Together with timestampId()'s ids they increase, as
// strings too, in the order they were issued.
std::string countedTimestampId();
// Formats a wall-clock time as "yyyyMMddHHmmssSSS" in local time.
std::string formatTimestampId(std::chrono::system_clock::time_point t);

// How far behind the last id the clock may read and still be waited for.
// Further back the clock was stepped (or the time zone changed): waiting would
// freeze the program, so ids count on from the last one until the clock
// catches up.
inline constexpr std::chrono::milliseconds kTimestampLongestWait{2000};

// Replaces the wall clock the ids are read from (an empty function restores
// it) and forgets the last id issued. `wait` is called when an id has to wait
// for the clock, with the time still missing; it must move the test's clock
// on. Empty, it sleeps for real.
void setTimestampClockForTesting(std::function<std::chrono::system_clock::time_point()> clock,
                                 std::function<void(std::chrono::milliseconds)> wait = {});

}  // namespace fd
