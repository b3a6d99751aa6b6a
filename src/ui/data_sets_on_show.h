#pragma once

// The data sets the operator sees, oldest first: the lines of the list, or, while an
// automatic recording runs and the list waits for its end, the rows of the table. Blank
// lines (the end mark of a recording) are no data sets.

#include <array>
#include <functional>
#include <string_view>

#include "measure/data_set_statistics.h"

namespace kantrel::ui {

class DataSetListModel;

// Number, date, time, ms, Value, Min, Max, MinAvr, MaxAvr, as UTF-8.
inline constexpr int kDataSetTexts = 9;
inline constexpr int kFirstValueText = 4;
using DataSetTexts = std::array<std::string_view, kDataSetTexts>;

class DataSetsOnShow {
public:
    explicit DataSetsOnShow(const DataSetListModel& list) : list_(list) {}

    // True while the table holds data sets that the list does not show yet.
    static bool TableAhead();
    // Calls visit for each data set; its texts live until visit returns. Texts before
    // firstText stay empty (reading the list's texts costs time).
    void ForEach(const std::function<void(const DataSetTexts&)>& visit, int firstText = 0) const;

private:
    void ForEachTableRow(const std::function<void(const DataSetTexts&)>& visit) const;
    void ForEachListLine(const std::function<void(const DataSetTexts&)>& visit, int firstText) const;

    const DataSetListModel& list_;
};

// The statistics of the data sets on show, with the limits in effect.
DataSetStatistics StatisticsOnShow(const DataSetListModel& list);

} // namespace kantrel::ui
