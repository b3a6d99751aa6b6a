// The settings file: read, store, read back.
//
// Input: the bytes of "731config.ini". They are read as the program reads its settings;
// then one key that the window stores (which one, and its value, follow from the input's
// length) is stored with StoreSetting, and the settings are read again.
//
// Properties: the stored key reads back with its value; every other setting reads as
// before; the file as written reads back to the same bytes when written again.

#include <fmt/format.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include "fuzz/fuzz_support.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "support/fake_ports.h"

namespace {

using kantrel::Settings;

// The keys the window stores, the values it stores for them, and where they land.
struct StoredKey {
    std::string_view key;
    int values; // 0 .. values-1
    std::function<int&(Settings&)> intField;
    std::function<bool&(Settings&)> boolField;
};
const StoredKey kStoredKeys[] = {
    {"SampleRate", 13, [](Settings& s) -> int& { return s.SampleRate; }, {}},
    {"graficMode", 3, [](Settings& s) -> int& { return s.graficMode; }, {}},
    {"useSelKeySingleShot", 2, [](Settings& s) -> int& { return s.useSelKeySingleShot; }, {}},
    {"showPeakUp", 2, {}, [](Settings& s) -> bool& { return s.showPeakUp; }},
    {"showPeakDn", 2, {}, [](Settings& s) -> bool& { return s.showPeakDn; }},
    {"showPeakUpFiltered", 2, {}, [](Settings& s) -> bool& { return s.showPeakUpFiltered; }},
    {"showPeakDnFiltered", 2, {}, [](Settings& s) -> bool& { return s.showPeakDnFiltered; }},
    {"showMean", 2, {}, [](Settings& s) -> bool& { return s.showMean; }},
    {"ClrPeakAfterSingleShot", 2, {}, [](Settings& s) -> bool& { return s.ClrPeakAfterSingleShot; }},
    {"WriteToKeyBuffer", 2, {}, [](Settings& s) -> bool& { return s.WriteToKeyBuffer; }},
};

auto Fields(const Settings& s) {
    return std::tie(s.SampleRate, s.Resolution, s.useSelKeySingleShot, s.extProgramm, s.extParameter,
                    s.graficMode, s.showPeakUp, s.showPeakDn, s.showPeakUpFiltered, s.showPeakDnFiltered,
                    s.showMean, s.showMeanCompanyTrumak, s.ClrPeakAfterSingleShot, s.TimerClrPeakMs,
                    s.ShowClrPeakCheckBox, s.DecimalSeparator, s.WriteToKeyBuffer, s.ShowKeyBufCheckBox,
                    s.KeyDebounceTimeMs, s.KeyBufDelayTimeMs);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Where the settings file is does not change from one input to the next.
    static const std::string path = [] {
        kantrel::test::ResetProcessState();
        kantrel::ReadSettings(",");
        return kantrel::SettingsFilePath().value();
    }();
    kantrel::test::ResetProcessState();
    WriteAll(path, std::string_view(reinterpret_cast<const char*>(data), size));

    kantrel::ReadSettings(",");
    Settings expected = kantrel::settings;
    const StoredKey& stored = kStoredKeys[size % std::size(kStoredKeys)];
    const int value = static_cast<int>(size / std::size(kStoredKeys)) % stored.values;
    if (stored.intField)
        stored.intField(expected) = value;
    else
        stored.boolField(expected) = value != 0;

    const kantrel::StoreResult result = kantrel::StoreSetting(stored.key, std::to_string(value));
    FUZZ_CHECK_MSG(static_cast<bool>(result), result.error);
    kantrel::ReadSettings(",");
    FUZZ_CHECK_MSG(Fields(kantrel::settings) == Fields(expected),
                   fmt::format("after storing {}={}", stored.key, value));

    const std::string written = ReadAll(path);
    FUZZ_CHECK(kantrel::IniFile::Parse(written).Serialize() == written);
    return 0;
}
