#pragma once

// The start-up readout: after every connection the store's 10 ms timer sends the 22
// readout commands, one per free slot of the command channel, until all 21 answers
// have arrived.

namespace kantrel {

class TMeasData;

// Tick of the store's readoutTimer (main thread).
void ReadoutTimerTick(TMeasData& store);

}  // namespace kantrel
