// The platform's thread facility, as the plug-in imports it from commLib.
//
// The plug-in starts exactly one kind of thread (the timer worker) and never
// joins it. Going through this one function lets the host environment account
// for the threads the plug-in runs.
#pragma once

namespace platform {

// Starts fn(arg) on a new detached thread and returns at once. False when no
// thread could start (fn is then never called).
bool startThread(void (*fn)(void*), void* arg);

}  // namespace platform
