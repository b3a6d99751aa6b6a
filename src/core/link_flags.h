#pragma once

// Flags shared between the main thread and the worker threads of the device link.

#include <atomic>

namespace kantrel {

// Set on the main thread before a guarded command goes out; cleared by the command
// thread after every read, by the readout's retry counter and by a new store.
extern std::atomic<bool> commandPending;

// True from a successful open of the link until the disconnect; every transfer is
// refused while it is clear.
extern std::atomic<bool> instrumentConnected;

// Set once, by atomic exchange, by the first time-out of a measurement read or a command
// write; afterwards both are refused. Never cleared.
extern std::atomic<bool> dataErrorLatched;

}  // namespace kantrel
