#pragma once

// What the simulated instrument answers, in the instrument's answer layout: the code of
// the command, the payload text, a zero byte and the end mark 0xA7, sent as one 16-byte
// packet, or as two when the message does not fit into one.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"

namespace kantrel::sim {

using AnswerPacket = std::array<std::uint8_t, 16>;

inline constexpr std::string_view kNoErrorText = "No Error";

// The calibration that the instrument reports: with faultyCalibration every input
// equals the first, so that no segment has any width.
std::vector<CalibrationPoint> ReportedCalibration(const Scenario& scenario);

// The payload of the answer to command; nullopt when the instrument does not answer it.
// "#A03", "#A13", "#B03" and "#Y01" are acknowledged with an empty payload.
std::optional<std::string> AnswerPayload(const Scenario& scenario, std::string_view command,
                                         std::string_view deviceError);

// code (4 characters) and payload (UTF-8, sent in the instrument's code page Windows-1252
// and cut to 26 bytes, so that the message fits into two packets) as answer packets.
std::vector<AnswerPacket> BuildAnswerPackets(std::string_view code, std::string_view payload);

// The text of a 32-byte command message: its bytes up to the first zero.
std::string CommandText(const std::array<std::uint8_t, 32>& message);

} // namespace kantrel::sim
