// A window system for tests that counts the passes of processPendingEvents.
// Linked instead of lunteva_ui_headless; nothing is ever pending.
#pragma once

namespace lunteva::testing {

// Number of processPendingEvents calls since the last reset.
long long pendingEventPasses();
void resetPendingEventPasses();

}  // namespace lunteva::testing
