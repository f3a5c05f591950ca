#include <ko/koController.h>

namespace ko {

bool koController::Update(double /*time*/) { return false; }

} // namespace ko
