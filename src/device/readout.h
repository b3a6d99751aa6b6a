#pragma once

// The start-up readout: after every connection the store's 10 ms timer sends the 22
// readout commands, one per free slot of the command channel, until all 21 answers
// have arrived.

#include <array>
#include <string_view>

namespace kantrel {

class TMeasData;

// The commands in readout order: steps 0..20 ask for the answers of the same index in
// kReadoutAnswerCodes; step 21 cancels a zero in the instrument.
inline constexpr int kReadoutCommandCount = 22;
inline constexpr std::array<std::string_view, kReadoutCommandCount> kReadoutCommands = {
    "#I05", "#Y00", "#Z16", "#Z17", "#Z18", "#Z61", "#Z62", "#Z63", "#Z64", "#Z65", "#Z66",
    "#Z67", "#Z68", "#Z69", "#Z70", "#Z71", "#Z72", "#Z73", "#Z74", "#Z75", "#Z76", "#A13"};
inline constexpr int kReadoutCheckStep = 22;
inline constexpr int kReadoutStartDelayTicks = 25; // once per process
inline constexpr int kReadoutRetryTicks = 10;      // the 11th tick without an answer frees the slot

// Process-wide, main thread only; never reset by a new connection.
extern int readoutStep;       // next command, 0..21; 22 = check
extern int readoutDelayTicks; // connected ticks counted before the first command
extern int readoutRetryTicks; // ticks since the last readout command

// Tick of the store's readoutTimer (main thread).
void ReadoutTimerTick(TMeasData& store);

// Sends the next command, or at step 22 checks that every answer has arrived. True only
// when the readout has just completed.
bool ReadoutStep();

} // namespace kantrel
