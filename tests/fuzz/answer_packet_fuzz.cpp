// Answer packets through the command thread's CommandCycleStep and StoreAnswer.
//
// Input: transfers on the answer pipe, 17 bytes each: an outcome byte (modulo 4: 0
// completed at once, 1 completed after a wait, 2 timed out, 3 failed), then the 16 bytes
// of the packet. The command thread reads them until a read fails or they run out; then
// a few raw counts are converted with the parameters that arrived.
//
// Properties: texts keep their field limits; only the readout bits are ever set; every
// pass releases commandPending; converted values always format to a text. Reads stay
// inside the 32-byte answer buffer (the sanitizers watch that).

#include <cmath>
#include <fmt/format.h>

#include "core/link_flags.h"
#include "core/text_encoding.h"
#include "device/command_channel.h"
#include "device/device_parameters.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "fuzz/fuzz_support.h"
#include "measure/format_value.h"
#include "support/fake_ports.h"

namespace {

using kantrel::TransferOutcome;

constexpr TransferOutcome kOutcomes[] = {TransferOutcome::CompletedAtOnce,
                                         TransferOutcome::CompletedAfterWait, TransferOutcome::NotCompleted,
                                         TransferOutcome::Failed};

void CheckParameters() {
    const kantrel::DeviceParameters& p = kantrel::deviceParameters;
    // Texts arrive in Windows-1252, one byte per character, and are kept in UTF-8.
    FUZZ_CHECK(kantrel::CountUtf8Characters(p.deviceSerial) <= 20);
    FUZZ_CHECK(kantrel::CountUtf8Characters(p.sensorSerial) <= 20);
    FUZZ_CHECK(kantrel::CountUtf8Characters(p.unitText) <= 8);
    FUZZ_CHECK((kantrel::readoutMask.load() & ~kantrel::kReadoutComplete) == 0);
    // An answer's number is digits, a point and an exponent; "nan" and "inf" are none.
    for (const double number : {p.fullScale, p.scaleOffset, p.nominalValue})
        FUZZ_CHECK_MSG(std::isfinite(number), fmt::format("{}", number));
    for (int i = 0; i < kantrel::kMaxCalPoints; ++i)
        FUZZ_CHECK_MSG(std::isfinite(p.calInput[i]) && std::isfinite(p.calOutput[i]),
                       fmt::format("point {}: {} {}", i, p.calInput[i], p.calOutput[i]));
    for (const std::int16_t raw :
         {std::int16_t{-32768}, std::int16_t{0}, std::int16_t{1}, std::int16_t{32767}}) {
        const kantrel::CalibrationResult value = kantrel::ApplyCalibration(kantrel::RawToScaled(raw));
        FUZZ_CHECK(value.ok || value.value == 0.0);
        FUZZ_CHECK(!kantrel::FormatValue(value.value, p.nominalValue, raw > 0, ",").empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kantrel::test::PortsScope ports;
    for (auto& flag : kantrel::answerReceived)
        flag = false;
    kantrel::instrumentConnected = true;

    kantrel::test::ScriptedTransport transport;
    transport.emptyOutcome = TransferOutcome::Failed;
    for (std::size_t at = 0; at + 17 <= size; at += 17)
        transport.Push(kantrel::test::kR1, kOutcomes[data[at] % 4], {data + at + 1, data + at + 17});

    kantrel::UnitUSB link(&transport);
    FUZZ_CHECK(link.OpenUsbLink());
    for (;;) {
        kantrel::commandPending = true;
        if (!kantrel::CommandCycleStep(link))
            break;
        FUZZ_CHECK(!kantrel::commandPending.load());
    }
    for (const auto* texts : {&ports.window.firmwareTexts, &ports.window.deviceErrorTexts})
        for (const std::string& text : *texts)
            FUZZ_CHECK(kantrel::CountUtf8Characters(text) <= kantrel::kMaxAnswerText);
    CheckParameters();
    kantrel::instrumentConnected = false;
    return 0;
}
