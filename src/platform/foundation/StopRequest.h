#pragma once
// A request to end the program that comes from outside (SIGTERM, SIGINT),
// kept where long work on the main thread can see it: such work looks
// between its steps and gives up in good order, instead of holding the end
// back until it is done. The user's own request (closing the window) reaches
// the same work through a watch the window's host sets, since the host reads
// its input only when the loop turns again.
#include <functional>

namespace fd {

// Safe to call from a signal handler.
void requestStop();
bool stopRequested();
// Forgets a request, as a new watch for the signals begins.
void clearStopRequest();

// What long work asks between two steps: true when the program was asked to
// end, by a signal or (on the main thread, where the watch is asked each
// time) by the user. Work that answers it gives up and leaves what it made
// taken back, or hidden for the next start to sweep; the request itself is
// acted on once the loop turns again.
bool endAsked();
// The host's look for a close the user asked that the loop has not read
// yet; it bounds its own cost (it is asked once per step of the work). An
// empty function ends it.
void setEndWatch(std::function<bool()> watch);

}  // namespace fd
