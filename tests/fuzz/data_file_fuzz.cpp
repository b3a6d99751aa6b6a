// The data-file reader over any bytes.
//
// Input: the bytes of a data file. Each input is read twice, with every series checked:
// chart mode "number" under the regional settings of de_DE.UTF-8 (a comma), and mode
// "time" under those of en_US.UTF-8 (a point; dates as 12/09/25, times as 02:03:04 PM).
//
// Properties: a stored row lies inside the table and has its eight fields; the counts
// agree with the rows; every chart point is a finite number; the messages can be made.

#include <cmath>
#include <fmt/format.h>

#include "files/data_file_reader.h"
#include "fuzz/fuzz_support.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"

namespace {

void Check(const kantrel::DataFileContent& content) {
    int stored = 0;
    for (const kantrel::LoadedRow& row : content.rows) {
        if (row.index < 0)
            continue;
        ++stored;
        FUZZ_CHECK_MSG(row.index < kantrel::kDataListSize, fmt::format("row index {}", row.index));
        FUZZ_CHECK_MSG(row.subItems.size() == 8, fmt::format("{} fields", row.subItems.size()));
        FUZZ_CHECK(!row.numberText.empty());
    }
    FUZZ_CHECK_MSG(stored == content.storedRows,
                   fmt::format("{} rows stored, {} counted", stored, content.storedRows));
    FUZZ_CHECK(content.skippedRows >= 0);
    for (const kantrel::LoadedPoint& point : content.points) {
        FUZZ_CHECK_MSG(std::isfinite(point.x) && std::isfinite(point.y),
                       fmt::format("point {} {}", point.x, point.y));
        FUZZ_CHECK(point.slot >= 0 && point.slot < kantrel::kSeriesCount);
    }
    for (const kantrel::LoadMessage& message : kantrel::LoadMessages(content))
        FUZZ_CHECK(!message.text.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const kantrel::PosixRegionalSettings comma("de_DE.UTF-8"), point("en_US.UTF-8");

    kantrel::DataFileReadOptions numberMode;
    numberMode.graficMode = 0;
    numberMode.regional = &comma;
    Check(kantrel::ParseDataFile(bytes, numberMode));

    kantrel::DataFileReadOptions timeMode;
    timeMode.graficMode = 1;
    timeMode.regional = &point;
    Check(kantrel::ParseDataFile(bytes, timeMode));
    return 0;
}
