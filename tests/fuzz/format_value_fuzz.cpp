// FormatValue over any value, nominal value, resolution and regional separator.
//
// Input: the value and the nominal value (FuzzInput::Double each), then one byte: bit 0
// high resolution, bits 1-2 the separator ("." "," "\u066B" "'").
//
// Properties: the text is never empty; a finite value gives a finite number that reads
// back within the rounding increment (six significant digits for the largest steps); NaN
// and the infinities give "nan" and "inf".

#include <cmath>
#include <fmt/format.h>

#include "fuzz/fuzz_support.h"
#include "measure/format_value.h"

namespace {

using kantrel::fuzz::FuzzInput;

constexpr std::string_view kSeparators[] = {".", ",", "\xD9\xAB", "'"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const double value = in.Double();
    const double nominal = in.Double();
    const std::uint8_t flags = in.Byte();
    const bool hiRes = (flags & 1) != 0;
    const std::string_view separator = kSeparators[(flags >> 1) & 3];

    const std::string text = kantrel::FormatValue(value, nominal, hiRes, separator);
    const auto context = [&] {
        return fmt::format("value {} nominal {} hiRes {} text \"{}\"", value, nominal, hiRes, text);
    };
    FUZZ_CHECK_MSG(!text.empty(), context());
    FUZZ_CHECK_MSG(text == kantrel::FormatValue(value, nominal, hiRes, separator), context());

    if (std::isnan(value)) {
        FUZZ_CHECK_MSG(text.find("nan") != std::string::npos, context());
        return 0;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK_MSG(text.find(value < 0 ? "-inf" : "inf") != std::string::npos, context());
        return 0;
    }
    const auto back = kantrel::fuzz::ReadValueText(text, separator);
    FUZZ_CHECK_MSG(back && std::isfinite(*back), context());
    const double step = kantrel::RoundingStep(nominal, value);
    FUZZ_CHECK_MSG(step > 0.0, context());
    const double increment = step / (hiRes ? 10000.0 : 1000.0);
    const double tolerance = increment + std::fabs(value) * 1e-5;
    FUZZ_CHECK_MSG(std::fabs(*back - value) <= tolerance, context() + fmt::format(" read back {}", *back));
    return 0;
}
