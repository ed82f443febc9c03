#pragma once
// Calls handed to the main thread.
//
// The main thread is the thread that first uses this module (or the one named with
// SetMainThread). Another thread hands a call over with Synchronize and waits until the main
// thread has run it in CheckSynchronize. The front end decides how the main thread notices the
// queue: it installs a wake-up hook (the GUI posts an event whose handler calls
// CheckSynchronize), or its main thread waits with WaitForSynchronize.
#include <functional>

// True on the main thread.
bool IsMainThread();
// Makes the calling thread the main thread (start-up code and tests).
void SetMainThread();

// Runs fn on the main thread and waits until it has run. On the main thread fn runs at once.
// An exception thrown by fn is passed on to the caller of Synchronize.
void Synchronize(const std::function<void()>& fn);

// Runs every queued call, in the order queued. Only the main thread runs them; elsewhere it
// does nothing. Returns true when it ran at least one call.
bool CheckSynchronize();

// Main thread only: waits until a call is queued or timeoutMs pass (negative = no limit), then
// runs what is queued. Returns true when it ran at least one call.
bool WaitForSynchronize(int timeoutMs);

// Called (on the queuing thread) each time a call is queued, so the main thread wakes up.
void SetWakeMainThreadHook(std::function<void()> hook);

// Processes the window messages waiting for the calling thread. A front end installs what that
// means (the GUI processes its events); without a hook it does nothing.
void SetProcessPendingMessagesHook(std::function<void()> hook);
void ProcessPendingMessages();
