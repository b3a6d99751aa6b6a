#pragma once

// Ctrl+C (SIGINT) and SIGTERM end a run the way its count or duration would: the first
// signal is noted and the run stops at its next tick, writing what was recorded; a second
// one ends the program at once, as the signal normally does.

namespace kantrel::record {

void InstallStopSignalHandlers();
// 0, or the number of the first stop signal received.
int StopSignalReceived();

} // namespace kantrel::record
