// The data file with a full table of 10240 data sets, without the window. Prints, as its
// last two lines (the median of 15 runs, in milliseconds):
//   save_10240_ms <N>    lines built from the table and written to the file
//   parse_10240_ms <N>   file read and parsed with all five series drawn in chart mode
//                        "time" (the dearest: every date is read), and put into a store

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "files/data_file_reader.h"
#include "files/data_file_writer.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"

namespace {

using namespace kantrel;
using Clock = std::chrono::steady_clock;

const ListCaptions kCaptions{"Number",    "[Date]",    "[Time]",        "[Diff] = ms",  "[Value] = N",
                             "[Min] = N", "[Max] = N", "[MinFilt] = N", "[MaxFilt] = N"};

void FillTable(TMeasData& store, const RegionalSettings& regional) {
    for (int row = 0; row < kDataListSize; ++row) {
        const CivilDateTime t = DecodeDateTime(46000.5 + row * 0.1 / 86400.0);
        store.SetRowDate(row, regional.FormatShortDate(t));
        store.SetRowTime(row, regional.FormatLongTime(t));
        store.SetRowMs(row, fmt::format("{:03}", t.millisecond));
        store.SetRowMean(row, fmt::format(" {},{}", 100 + row % 900, row % 10));
        store.SetRowMin(row, fmt::format(" {},{}", 90 + row % 900, row % 10));
        store.SetRowMax(row, fmt::format(" {},{}", 110 + row % 900, row % 10));
        store.SetRowMinAvr(row, fmt::format(" {},{}", 95 + row % 900, row % 10));
        store.SetRowMaxAvr(row, fmt::format(" {},{}", 105 + row % 900, row % 10));
    }
    store.MarkDataListFull();
}

template <typename F> double MedianMs(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    PosixRegionalSettings regional("de_DE.UTF-8");
    ports().regional = &regional;
    TMeasData store(100);
    FillTable(store, regional);

    std::string folder = (std::filesystem::temp_directory_path() / "kantrel_files_bench_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    const std::string path = folder + "/data.txt";

    bool ok = true;
    const double save =
        MedianMs([&] { ok = SaveDataSetLines(path, BuildDataSetLines(kCaptions, store, 6)).ok && ok; });

    DataFileReadOptions options;
    options.graficMode = 1;
    options.regional = &regional;
    std::size_t points = 0;
    const double parse = MedianMs([&] {
        const DataFileContent content = LoadDataFile(path, options);
        TMeasData loaded(100);
        ApplyToStore(content, loaded);
        points = content.points.size();
    });
    std::filesystem::remove_all(folder);
    if (!ok || points != 5u * kDataListSize) {
        std::fprintf(stderr, "files_core_bench: save or parse failed (%zu points)\n", points);
        return 1;
    }
    std::printf("save_10240_ms %.2f\n", save);
    std::printf("parse_10240_ms %.2f\n", parse);
    return 0;
}
