#pragma once

namespace ko {

namespace koSystemUtils {
// Milliseconds of a monotonic clock, as a double; only differences between two calls mean anything.
double GetTimeBaseMs();
} // namespace koSystemUtils

} // namespace ko
