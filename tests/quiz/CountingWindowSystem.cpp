// Counting window system for tests. Implements: processPendingEvents.
#include "CountingWindowSystem.h"

#include "ui/WindowSystem.h"

namespace lunteva {

namespace {
long long passes = 0;
}  // namespace

void processPendingEvents() { ++passes; }

long long testing::pendingEventPasses() { return passes; }
void testing::resetPendingEventPasses() { passes = 0; }

}  // namespace lunteva
