#include "ui/data_set_list.h"

namespace kantrel::ui {

const std::array<const char*, DataSetListModel::kColumns> DataSetListModel::kInitialCaptions = {
    "Number",    "[Date]",    "[Time]",       "[Diff] = ms", "[Value] = ?",
    "[Min] = ?", "[Max] = ?", "[MinAvr] = ?", "[MaxAvr] = ?"};
const std::array<int, DataSetListModel::kColumns> DataSetListModel::kInitialWidths = {35, 70, 60, 40, 70,
                                                                                      70, 70, 70, 70};

DataSetListModel::DataSetListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (std::size_t c = 0; c < captions_.size(); ++c)
        captions_[c] = QString::fromLatin1(kInitialCaptions[c]);
}

int DataSetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LineCount();
}

int DataSetListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant DataSetListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return Cell(index.row(), index.column());
}

QVariant DataSetListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return captions_[static_cast<std::size_t>(section)];
}

void DataSetListModel::SetCaption(int column, const QString& caption) {
    if (column < 0 || column >= kColumns)
        return;
    auto& current = captions_[static_cast<std::size_t>(column)];
    if (current == caption)
        return;
    current = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DataSetListModel::AppendLine(QStringList cells) {
    if (batch_) {
        lines_.push_back(std::move(cells));
        return;
    }
    const int at = LineCount();
    beginInsertRows({}, at, at);
    lines_.push_back(std::move(cells));
    endInsertRows();
}

void DataSetListModel::RemoveLine(int line) {
    if (line < 0 || line >= LineCount())
        return;
    if (!batch_)
        beginRemoveRows({}, line, line);
    lines_.erase(lines_.begin() + line);
    if (!batch_)
        endRemoveRows();
}

void DataSetListModel::Clear() {
    if (!batch_)
        beginResetModel();
    lines_.clear();
    if (!batch_)
        endResetModel();
}

int DataSetListModel::LastDataLine() const {
    for (int line = LineCount() - 1; line >= 0; --line)
        if (!Cell(line, 0).isEmpty())
            return line;
    return -1;
}

QString DataSetListModel::Cell(int line, int column) const {
    if (line < 0 || line >= LineCount() || column < 0)
        return {};
    const QStringList& cells = lines_[static_cast<std::size_t>(line)];
    return column < cells.size() ? cells[column] : QString();
}

void DataSetListModel::BeginBatch() {
    if (batch_)
        return;
    beginResetModel();
    batch_ = true;
}

void DataSetListModel::EndBatch() {
    if (!batch_)
        return;
    batch_ = false;
    endResetModel();
}

} // namespace kantrel::ui
