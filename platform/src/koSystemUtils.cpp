#include <ko/koSystemUtils.h>

#include <chrono>

namespace ko::koSystemUtils {

double GetTimeBaseMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

} // namespace ko::koSystemUtils
