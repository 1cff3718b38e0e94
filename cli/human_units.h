// Byte counts, rates and durations in the units people read.
#pragma once

#include <cstdint>
#include <string>

namespace zavel::cli {

// "0 B" to "1023 B", then one decimal in KiB, MiB, GiB, TiB, PiB, EiB (rounded to the
// nearest tenth; a value that rounds up to 1024 moves to the next unit).
std::string humanBytes(uint64_t bytes);
// humanBytes of the whole bytes per second, with "/s".
std::string humanRate(double bytes_per_second);
// "m:ss" below an hour, "h:mm:ss" above.
std::string clockDuration(uint64_t seconds);
// Milliseconds as seconds without trailing zeros: "2 s", "1.5 s", "0.05 s".
std::string secondsText(uint64_t milliseconds);

}  // namespace zavel::cli
