#include "files/data_file_writer.h"

#include <fmt/format.h>

#include "device/device_parameters.h"
#include "measure/meas_data.h"

namespace kantrel {

ListCaptions DataSetCaptions(std::string_view unit) {
    ListCaptions captions = {"Number", "[Date]", "[Time]", "[Diff] = ms"};
    const char* valueCaptions[] = {"[Value] = ", "[Min] = ", "[Max] = ", "[MinFilt] = ", "[MaxFilt] = "};
    for (std::size_t i = 0; i < std::size(valueCaptions); ++i)
        captions[4 + i] = std::string(valueCaptions[i]) + std::string(unit);
    return captions;
}

std::string BuildHeaderLine(const ListCaptions& captions, int sampleRateIndex) {
    std::string header = captions[0];
    for (int column = 1; column < kListColumnCount; ++column) {
        header += '\t';
        header += captions[static_cast<std::size_t>(column)];
    }
    fmt::format_to(std::back_inserter(header), "\t({}ms)", AveragingCountFor(sampleRateIndex));
    return header;
}

std::string FormatDataSetLine(const TMeasData& store, int number, int row) {
    return FormatDataSetLine(number, store.Row(row));
}

std::string FormatDataSetLine(std::int64_t number, const tDataListArray& r) {
    std::string line = fmt::format("{}", number);
    AppendDataSetFields(line, r);
    return line;
}

void AppendDataSetFields(std::string& line, const tDataListArray& r) {
    for (const std::string* text : {&r.dateText, &r.timeText, &r.msText, &r.meanText, &r.minText, &r.maxText,
                                    &r.minAvrText, &r.maxAvrText}) {
        line += '\t';
        line += *text;
    }
}

std::vector<std::string> BuildDataSetLines(const ListCaptions& captions, const TMeasData& store,
                                           int sampleRateIndex) {
    std::vector<std::string> lines;
    const int newest = store.GetDataListPos();
    const int size = store.GetDataListSize();
    lines.reserve(static_cast<std::size_t>(store.IsDataListWrapped() ? size : newest + 1) + 1);
    lines.push_back(BuildHeaderLine(captions, sampleRateIndex));
    int number = 1;
    // After a wrap-around the rows behind the newest one hold the oldest data sets.
    if (store.IsDataListWrapped())
        for (int row = newest + 1; row < size; ++row)
            lines.push_back(FormatDataSetLine(store, number++, row));
    for (int row = 0; row <= newest; ++row)
        lines.push_back(FormatDataSetLine(store, number++, row));
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

SaveResult SaveDataSetLines(const std::string& path, const std::vector<std::string>& lines,
                            const FileCalls& calls) {
    return SaveFileReplacing(path, JoinLinesCrLf(lines), calls);
}

} // namespace kantrel
