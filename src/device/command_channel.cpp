#include "device/command_channel.h"

#include <cmath>
#include <limits>
#include <string>

#include "core/link_flags.h"
#include "core/ports.h"
#include "core/text_encoding.h"
#include "device/device_parameters.h"
#include "device/unit_usb.h"
#include "settings/settings.h"

namespace kantrel {

std::array<std::atomic<bool>, kReadoutAnswerCount> answerReceived{};

namespace {

using Answer = std::span<const std::uint8_t, kAnswerBufferBytes>;

constexpr std::size_t kSerialLength = 20;
constexpr std::size_t kUnitLength = 8;

// Truncated toward zero; values beyond int32 (or NaN) are held at the nearest end
// instead of overflowing.
std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (value <= lo)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= hi)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

// The readoutMask bit of answer i of kReadoutAnswerCodes; 0 for the two texts that go
// to the window.
std::uint32_t MaskBitOf(int answer) {
    switch (answer) {
    case 0:
    case 1:
        return 0;
    case 2:
        return 0x2; // "#Z16"
    case 3:
        return 0x1; // "#Z17"
    case 4:
        return 0x4; // "#Z18"
    default:
        return 1u << (answer + 1); // "#Z61" is bit 6, ... "#Z76" bit 21
    }
}

// A text of the instrument: single bytes in its code page, Windows-1252, limited in
// bytes as the instrument sent them, then kept in UTF-8 as every text of the program.
std::string InstrumentText(Answer a, std::size_t maxLength = kMaxAnswerText) {
    return Windows1252ToUtf8(AnswerText(a, maxLength));
}

// The parameter of answer i (2..20) into p.
void StoreField(int answer, Answer a, DeviceParameters& p) {
    switch (answer) {
    case 2:
        p.fullScale = ParseAnswerNumber(a);
        return;
    case 3:
        p.scaleOffset = ParseAnswerNumber(a);
        return;
    case 4:
        p.deviceSerial = InstrumentText(a, kSerialLength);
        return;
    case 5:
        p.nominalValue = ParseAnswerNumber(a);
        return;
    case 6:
        p.param62 = TruncateToInt32(ParseAnswerNumber(a));
        return;
    case 7:
        p.param63 = TruncateToInt32(ParseAnswerNumber(a));
        return;
    case 18: {
        // The count is the first character's distance from '0'; an empty text gives
        // 0 - '0' = 208, which the calibration limits to five points.
        const std::string text = AnswerText(a);
        const auto first = static_cast<std::uint8_t>(text.empty() ? 0 : text[0]);
        p.calPointCount = static_cast<std::uint8_t>(first - '0');
        return;
    }
    case 19:
        p.unitText = InstrumentText(a, kUnitLength);
        return;
    case 20:
        p.sensorSerial = InstrumentText(a, kSerialLength);
        return;
    default: {
        // "#Z64" .. "#Z73": output and input of calibration points 1 to 5, alternating.
        const int offset = answer - 8;
        const auto point = static_cast<std::size_t>(offset / 2);
        (offset % 2 == 0 ? p.calOutput : p.calInput)[point] = ParseAnswerNumber(a);
        return;
    }
    }
}

} // namespace

void SendCommand(std::string_view code, std::string_view parameter) {
    std::string text(code);
    text += parameter;
    CommaToDot(text);
    unitUsb().SendCommandText(text);
}

void StoreAnswer(Answer answer) {
    const std::string_view code = AnswerCode(answer);
    if (SameCode(code, "#NOP"))
        return;
    for (int i = 0; i < kReadoutAnswerCount; ++i) {
        if (!SameCode(code, kReadoutAnswerCodes[static_cast<std::size_t>(i)]))
            continue;
        if (i == 0) {
            window().PostFirmwareText(InstrumentText(answer));
        } else if (i == 1) {
            window().PostDeviceErrorText(InstrumentText(answer));
        } else if (const std::uint32_t bit = MaskBitOf(i);
                   (readoutMask.load(std::memory_order_acquire) & bit) == 0) {
            // A parameter is stored once per connection: once its bit is published the
            // main thread reads it without a lock, and the answer of a repeated readout
            // pass, still under way when the readout completed, must not write it again.
            // The instrument's parameters do not change while it is connected.
            WriteDeviceParameters([&](DeviceParameters& p) { StoreField(i, answer, p); });
            readoutMask.fetch_or(bit, std::memory_order_release);
        }
        answerReceived[static_cast<std::size_t>(i)].store(true, std::memory_order_release);
        return;
    }
}

bool CommandCycleStep(UnitUSB& link, const std::stop_token& stop) {
    AnswerBuffer buffer{};
    const std::span<std::uint8_t, kAnswerBufferBytes> whole(buffer);
    if (!link.ReadAnswerPacket(whole.first<kAnswerPacketBytes>(), stop))
        return false;
    // The instrument sends a second packet only when the message did not end in the first.
    if (!HoldsEndMark(whole.first<kAnswerPacketBytes>()))
        link.ReadAnswerPacket(whole.last<kAnswerPacketBytes>(), stop);
    StoreAnswer(buffer);
    commandPending.store(false);
    return true;
}

TDataThread::TDataThread(UnitUSB& link)
    : WorkerThread("commandData", [&link](std::stop_token stop) {
          while (!stop.stop_requested()) {
              if (!CommandCycleStep(link, stop))
                  break;
          }
      }) {}

} // namespace kantrel
