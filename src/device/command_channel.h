#pragma once

// The command channel: commands go out from the main thread through SendCommand; the
// command thread TDataThread reads every answer packet on R1 and stores it by its own
// code (answers are not paired with the command that caused them), then releases
// commandPending, the one slot that keeps the readout and the guarded operator commands
// from sending before the previous answer, or the idle "#NOP", has been read.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string_view>

#include "device/packet_layout.h"
#include "device/worker_thread.h"

namespace kantrel {

class UnitUSB;

// The 21 answers of the start-up readout, in readout order; answerReceived[i] is set
// when the answer to kReadoutAnswerCodes[i] has arrived. Never cleared.
inline constexpr int kReadoutAnswerCount = 21;
inline constexpr std::array<std::string_view, kReadoutAnswerCount> kReadoutAnswerCodes = {
    "#I05", "#Y00", "#Z16", "#Z17", "#Z18", "#Z61", "#Z62", "#Z63", "#Z64", "#Z65", "#Z66",
    "#Z67", "#Z68", "#Z69", "#Z70", "#Z71", "#Z72", "#Z73", "#Z74", "#Z75", "#Z76"};
extern std::array<std::atomic<bool>, kReadoutAnswerCount> answerReceived;

// Main thread only: code and parameter joined, the first ',' made '.', sent on S1.
void SendCommand(std::string_view code, std::string_view parameter = {});

// Stores one answer by its code: a device parameter (then its readoutMask bit is
// published), the firmware or device error text (handed to the window), or nothing.
void StoreAnswer(std::span<const std::uint8_t, kAnswerBufferBytes> answer);

// One pass of the command thread: read an answer (a second packet when the first holds
// no end mark), store it, release commandPending. False when the read failed: the
// thread ends.
bool CommandCycleStep(UnitUSB& link, const std::stop_token& stop = {});

// The command thread, named "commandData". Runs CommandCycleStep until its stop is
// requested or a read fails.
class TDataThread : public WorkerThread {
public:
    explicit TDataThread(UnitUSB& link); // throws std::system_error
};

} // namespace kantrel
