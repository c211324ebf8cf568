#pragma once
// A request to end the program that comes from outside (SIGTERM, SIGINT),
// kept where long work on the main thread can see it: such work looks
// between its steps and gives up in good order, instead of holding the end
// back until it is done.
namespace fd {

// Safe to call from a signal handler.
void requestStop();
bool stopRequested();
// Forgets a request, as a new watch for the signals begins.
void clearStopRequest();

}  // namespace fd
