#include "ui/data_sets_on_show.h"

#include <algorithm>
#include <string>

#include "core/ports.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "ui/data_set_list.h"

namespace kantrel::ui {

namespace {

// Into a buffer that keeps its capacity from line to line: the texts are short and mostly
// ASCII, and 10240 lines should not cost 90000 allocations.
void ToUtf8(const QString& text, std::string& out) {
    out.clear();
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x80) {
            out = text.toStdString();
            return;
        }
        out.push_back(static_cast<char>(ch.unicode()));
    }
}

} // namespace

bool DataSetsOnShow::TableAhead() {
    return measData && (measData->IsAutoRecording() || listRebuildPending);
}

void DataSetsOnShow::ForEach(const std::function<void(const DataSetTexts&)>& visit, int firstText) const {
    if (TableAhead())
        ForEachTableRow(visit);
    else
        ForEachListLine(visit, firstText);
}

void DataSetsOnShow::ForEachTableRow(const std::function<void(const DataSetTexts&)>& visit) const {
    const TMeasData& store = *measData;
    const int pos = store.GetDataListPos();
    const int size = store.GetDataListSize();
    int line = 0;
    std::string number;
    const auto visitRow = [&](int row) {
        const tDataListArray& r = store.Row(row);
        number = std::to_string(++line);
        visit({number, r.dateText, r.timeText, r.msText, r.meanText, r.minText, r.maxText, r.minAvrText,
               r.maxAvrText});
    };
    // Oldest first, as the list will show them.
    if (store.IsDataListWrapped()) {
        for (int row = pos + 1; row < size; ++row)
            visitRow(row);
    }
    for (int row = 0; row <= pos; ++row)
        visitRow(row);
}

void DataSetsOnShow::ForEachListLine(const std::function<void(const DataSetTexts&)>& visit,
                                     int firstText) const {
    std::array<std::string, kDataSetTexts> buffers;
    DataSetTexts texts;
    for (int line = 0; line < list_.LineCount(); ++line) {
        if (list_.Cell(line, 0).isEmpty())
            continue;
        for (int c = std::max(0, firstText); c < kDataSetTexts; ++c) {
            const auto i = static_cast<std::size_t>(c);
            ToUtf8(list_.Cell(line, c), buffers[i]);
            texts[i] = buffers[i];
        }
        visit(texts);
    }
}

DataSetStatistics StatisticsOnShow(const DataSetListModel& list) {
    DataSetStatisticsAccumulator accumulator(regional().DecimalSeparator(), LimitsInEffect(settings));
    DataSetsOnShow(list).ForEach(
        [&](const DataSetTexts& t) {
            accumulator.Add({t[kFirstValueText], t[kFirstValueText + 1], t[kFirstValueText + 2],
                             t[kFirstValueText + 3], t[kFirstValueText + 4]});
        },
        kFirstValueText);
    return accumulator.Take();
}

} // namespace kantrel::ui
