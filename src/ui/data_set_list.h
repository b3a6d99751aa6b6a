#pragma once

// The lines of ListView1: copies of data-set rows, with column captions that carry the
// unit. A model behind a QTreeView stays fast with 10240 lines; a batch (the rebuild after
// an automatic recording) adds lines without telling the view until it ends.

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

namespace kantrel::ui {

class DataSetListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kColumns = 9;
    static const std::array<const char*, kColumns> kInitialCaptions;
    static const std::array<int, kColumns> kInitialWidths;

    explicit DataSetListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetCaption(int column, const QString& caption);
    QString Caption(int column) const { return captions_[static_cast<std::size_t>(column)]; }

    // A line: the caption (column 0) and its sub-items; missing columns are empty.
    void AppendLine(QStringList cells);
    void RemoveLine(int line);
    void Clear();
    int LineCount() const { return static_cast<int>(lines_.size()); }
    // The last line that shows a data set (blank lines have no caption); -1 when none.
    int LastDataLine() const;
    QString Cell(int line, int column) const;

    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return batch_; }

private:
    std::vector<QStringList> lines_;
    std::array<QString, kColumns> captions_;
    bool batch_ = false;
};

} // namespace kantrel::ui
