// The window-system operations the rest of the program relies on.
//
// Each backend implements all of them, on the window thread only:
// - WindowSystemHeadless.cpp: console programs and tests; nothing is ever pending.
// Every operation returns only once its effect has taken place.
#pragma once

namespace lunteva {

// Dispatches, one by one, the window messages already waiting for the calling
// thread, and returns when none is left or the next one is the request to
// quit, which stays queued. Never waits for new messages.
void processPendingEvents();

}  // namespace lunteva
