// The simulator's scenario file (--simulate=FILE), played through the program's own link.
//
// Input: the bytes of a scenario file. A signal file it names is looked for in the
// target's folder, which holds "counts.txt" and "bad.txt"; an input whose signal file
// name holds a "/" is skipped, so that nothing outside the folder is read.
//
// A scenario that loads drives the simulated instrument on a clock that jumps straight to
// whatever is due next (a pipe time-out at the latest). The program's link sends every
// readout command and the instrument commands, the command thread's CommandCycleStep
// reads the answers, and measurement frames are read as the measuring thread reads them.
//
// Properties: a scenario that does not load says which key is wrong; every answer that
// arrives stores exactly what the scenario says (a text holding the end mark forged
// another answer); every frame carries the scenario's signal and only the known codes.

#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <map>

#include "core/link_flags.h"
#include "core/text_encoding.h"
#include "device/command_channel.h"
#include "device/device_parameters.h"
#include "device/packet_layout.h"
#include "device/unit_usb.h"
#include "fuzz/fuzz_support.h"
#include "settings/ini_file.h"
#include "sim/instrument_answers.h"
#include "sim/scenario.h"
#include "sim/signal.h"
#include "sim/simulated_instrument.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace {

using kantrel::sim::Scenario;

// Time moves only when a transfer waits: straight to the moment it waits for.
class JumpingClock : public kantrel::sim::SimClock {
public:
    std::int64_t NowMs() const override { return now_; }
    bool WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&, std::int64_t deadlineMs,
                   const std::function<bool()>& ready) override {
        if (!ready() && deadlineMs != kantrel::sim::kNever && deadlineMs > now_)
            now_ = deadlineMs;
        return ready();
    }

private:
    std::int64_t now_ = 0;
};

constexpr int kFramesRead = 20;
constexpr std::string_view kInstrumentCommands[] = {"#A03", "#A13", "#B03", "#Y01", "#Y00"};

const std::string& SignalFolder() {
    static const std::string folder = [] {
        const std::string path = kantrel::test::IsolatedEnvironment::Root() + "/signals";
        std::filesystem::create_directories(path);
        std::ofstream(path + "/counts.txt") << "0 100 -100\n32767 -32768\n";
        std::ofstream(path + "/bad.txt") << "1 2 x\n";
        return path;
    }();
    return folder;
}

// The byte of Windows-1252, the instrument's code page, for one character in UTF-8;
// '?' for a character that code page does not have.
char InstrumentByte(const std::string& utf8Character) {
    static const std::map<std::string, char> bytes = [] {
        std::map<std::string, char> table;
        for (int b = 0; b <= 0xFF; ++b)
            table.emplace(kantrel::Windows1252ToUtf8(std::string(1, static_cast<char>(b))), static_cast<char>(b));
        return table;
    }();
    const auto found = bytes.find(utf8Character);
    return found == bytes.end() ? '?' : found->second;
}

// What the program reads of an answer text: the instrument sends it in its code page,
// cut to 26 bytes; the program takes it up to its first zero byte and its field length
// and shows it decoded.
std::string AsRead(const std::string& text, std::size_t fieldLength) {
    std::string sent;
    for (const char32_t c : kantrel::Utf8ToCodePoints(text)) {
        std::string character;
        kantrel::AppendUtf8(character, c);
        sent += InstrumentByte(character);
    }
    sent = sent.substr(0, std::min<std::size_t>(26, fieldLength));
    return kantrel::Windows1252ToUtf8(sent.substr(0, sent.find('\0')));
}

bool Received(std::string_view code) {
    for (std::size_t i = 0; i < kantrel::kReadoutAnswerCodes.size(); ++i)
        if (kantrel::kReadoutAnswerCodes[i] == code)
            return kantrel::answerReceived[i].load();
    return false;
}

void CheckAnswers(const Scenario& s, const kantrel::test::FakeWindow& window) {
    const kantrel::DeviceParameters& p = kantrel::deviceParameters;
    const auto number = [](std::string_view what, double stored, double expected) {
        FUZZ_CHECK_MSG(stored == expected, fmt::format("{}: stored {}, scenario {}", what, stored, expected));
    };
    for (const std::string& text : window.firmwareTexts)
        FUZZ_CHECK_MSG(text == AsRead(s.firmware, 31), text);
    for (const std::string& text : window.deviceErrorTexts)
        FUZZ_CHECK_MSG(text == AsRead(s.deviceError, 31) || text == kantrel::sim::kNoErrorText, text);
    if (Received("#Z16"))
        number("fullScale", p.fullScale, s.fullScale);
    if (Received("#Z17"))
        number("scaleOffset", p.scaleOffset, s.scaleOffset);
    if (Received("#Z18"))
        FUZZ_CHECK_MSG(p.deviceSerial == AsRead(s.deviceSerial, 20), p.deviceSerial);
    if (Received("#Z61"))
        number("nominalValue", p.nominalValue, s.nominalValue);
    if (Received("#Z62"))
        FUZZ_CHECK(p.param62 == s.param62);
    if (Received("#Z63"))
        FUZZ_CHECK(p.param63 == s.param63);
    const auto points = kantrel::sim::ReportedCalibration(s);
    for (std::size_t i = 0; i < 5; ++i) {
        const kantrel::sim::CalibrationPoint point =
            i < points.size() ? points[i] : kantrel::sim::CalibrationPoint{};
        if (Received(kantrel::kReadoutAnswerCodes[8 + 2 * i]))
            number(fmt::format("output {}", i), p.calOutput[i], point.output);
        if (Received(kantrel::kReadoutAnswerCodes[9 + 2 * i]))
            number(fmt::format("input {}", i), p.calInput[i], point.input);
    }
    if (Received("#Z74"))
        FUZZ_CHECK(p.calPointCount == points.size());
    if (Received("#Z75"))
        FUZZ_CHECK_MSG(p.unitText == AsRead(s.unit, 8), p.unitText);
    if (Received("#Z76"))
        FUZZ_CHECK_MSG(p.sensorSerial == AsRead(s.sensorSerial, 20), p.sensorSerial);
}

void ReadAnswers(kantrel::UnitUSB& link, int reads) {
    for (int i = 0; i < reads; ++i)
        if (!kantrel::CommandCycleStep(link))
            return;
}

void ReadFrames(kantrel::UnitUSB& link, const Scenario& s) {
    for (std::int64_t frame = 0; frame < kFramesRead; ++frame) {
        std::array<std::uint8_t, kantrel::kFrameBytes> bytes{};
        if (!link.ReadMeasurementFrame(bytes))
            return;
        for (int k = 0; k < kantrel::kSamplesPerFrame; ++k) {
            const auto at = static_cast<std::size_t>(3 * k);
            const char code = static_cast<char>(bytes[at]);
            FUZZ_CHECK_MSG(code == 0 || (code >= '1' && code <= '5'), fmt::format("code {}", int(code)));
            const auto raw = static_cast<std::int16_t>(bytes[at + 1] | bytes[at + 2] << 8);
            const std::int64_t t = frame * kantrel::kSamplesPerFrame + k;
            FUZZ_CHECK_MSG(raw == kantrel::sim::RawCountAt(s, t), fmt::format("sample at {} ms: {}", t, raw));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (kantrel::IniFile::Parse(text).ReadString("Signal", "file", "").find('/') != std::string::npos)
        return 0;
    const kantrel::sim::ScenarioResult loaded = kantrel::sim::ParseScenario(text, SignalFolder());
    if (!loaded.scenario) {
        FUZZ_CHECK_MSG(loaded.error.starts_with("[Instrument] ") || loaded.error.starts_with("[Signal] ") ||
                           loaded.error.starts_with("[Events] "),
                       loaded.error);
        return 0;
    }
    const Scenario& s = *loaded.scenario;

    kantrel::test::PortsScope ports;
    kantrel::SetProcessEndHook([] {});
    for (auto& flag : kantrel::answerReceived)
        flag = false;
    JumpingClock clock;
    kantrel::sim::SimulatedInstrument instrument(s, clock);
    kantrel::UnitUSB link(&instrument);
    if (!link.OpenUsbLink()) {
        FUZZ_CHECK(!s.present);
        return 0;
    }
    kantrel::instrumentConnected = true;
    for (std::string_view command : kantrel::kReadoutAnswerCodes) {
        link.SendCommandText(command);
        ReadAnswers(link, 1);
    }
    for (std::string_view command : kInstrumentCommands) {
        link.SendCommandText(command);
        ReadAnswers(link, 1);
    }
    ReadAnswers(link, 4);
    CheckAnswers(s, ports.window);
    ReadFrames(link, s);

    kantrel::instrumentConnected = false;
    link.CloseUsbLink();
    kantrel::SetProcessEndHook({});
    return 0;
}
