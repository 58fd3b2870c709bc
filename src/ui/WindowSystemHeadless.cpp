// Headless window system: for console programs and tests, which have no
// windows, so no message is ever pending.
#include "ui/WindowSystem.h"

namespace lunteva {

void processPendingEvents() {}

}  // namespace lunteva
