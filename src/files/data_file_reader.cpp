#include "files/data_file_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <system_error>

#include "core/ports.h"
#include "core/text_encoding.h"
#include "measure/meas_data.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

// A row number: an integer, possibly beyond the 32-bit range (then outside the table).
struct RowNumber {
    bool inRange = false;
    int value = 0;
};

std::optional<RowNumber> ParseRowNumber(std::string_view text) {
    if (text.starts_with('+'))
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range))
        return std::nullopt;
    if (ec == std::errc::result_out_of_range || value < INT32_MIN || value > INT32_MAX)
        return RowNumber{};
    return RowNumber{true, static_cast<int>(value)};
}

// A value text with its decimal separator turned into the regional one, then read with
// that separator (and no other).
std::optional<double> ParseValue(std::string_view word, const std::string& separator) {
    std::string text(word);
    ToLocaleSeparator(text, separator);
    if (separator != ".") {
        if (text.find('.') != std::string::npos)
            return std::nullopt;
        if (const auto at = text.find(separator); at != std::string::npos)
            text = text.substr(0, at) + '.' + text.substr(at + separator.size());
    } else if (text.find(',') != std::string::npos) {
        return std::nullopt;
    }
    std::string_view digits = text;
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

enum Field { kDate, kTime, kMs, kValue };

class RowReader {
public:
    RowReader(ByteSource& source, const DataFileReadOptions& options)
        : scan_(source, options.progress), options_(options),
          regional_(options.regional ? *options.regional : regional()),
          separator_(regional_.DecimalSeparator()) {}

    DataFileContent Read() {
        // The first word decides; nothing more of a file of another kind is read.
        const auto first = scan_.ReadWord(kMaxWordChars);
        if (first != "Number") {
            content_.stop = scan_.bytesRead() == 0 && scan_.readError() != 0 ? DataFileStop::FileNotFound
                                                                             : DataFileStop::UnknownFormat;
            content_.stopLine = 1;
            return std::move(content_);
        }
        if (ReadCaptions())
            while (!scan_.AtEnd() && content_.stop == DataFileStop::EndOfFile)
                ReadRow();
        if (content_.stop == DataFileStop::EndOfFile && scan_.readError() != 0)
            StopReading();
        return std::move(content_);
    }

private:
    bool ReadCaptions() {
        static constexpr int kWordsPerColumn[kListColumnCount] = {0, 1, 1, 3, 3, 3, 3, 3, 3};
        for (int column = 1; column < kListColumnCount; ++column) {
            for (int word = 0; word < kWordsPerColumn[column]; ++word) {
                const auto text = ReadWord();
                if (!text)
                    return false;
                content_.captions[static_cast<std::size_t>(column)] += *text;
            }
        }
        return ReadWord().has_value(); // the averaging field
    }

    void ReadRow() {
        content_.rows.emplace_back();
        scan_.SkipWhitespace();
        line_ = scan_.line();
        const auto numberText = ReadWord();
        if (!numberText || numberText->empty())
            return; // a blank list row, or the read failed
        LoadedRow& row = content_.rows.back();
        row.numberText = *numberText;
        const auto number = ParseRowNumber(*numberText);
        if (!number)
            return Fail(DataFileStop::ConversionError, *numberText, "row number");
        if (!ReadFields(row))
            return;
        if (!number->inRange)
            return Skip();
        if (!base_)
            base_ = number->value;
        const std::int64_t index = static_cast<std::int64_t>(number->value) - *base_;
        // Never stored outside the table, nor more rows than it holds.
        if (index < 0 || index >= kDataListSize || content_.storedRows >= kDataListSize)
            return Skip();
        row.number = number->value;
        row.xNumber = number->value;
        row.index = static_cast<int>(index);
        ++content_.storedRows;
        const auto t = RowMilliseconds(row);
        if (t)
            row.timestamp = *t / 86400000.0;
        // A time text of fewer than eight characters is listed but not drawn.
        if (CountUtf8Characters(row.subItems[kTime]) >= 8)
            Draw(row, t);
    }

    // Counted and reported after the load.
    void Skip() {
        ++content_.skippedRows;
        content_.rows.pop_back();
    }

    bool ReadFields(LoadedRow& row) {
        for (int field = kDate; field <= kTime; ++field) {
            // The first TAB field is whatever follows the number; the date comes next.
            if (field == kDate && !ReadTabField())
                return false;
            const auto text = ReadTabField();
            if (!text)
                return false;
            row.subItems.push_back(*text);
        }
        for (int field = kMs; field < kValue + kSeriesCount; ++field) {
            const auto text = ReadWord();
            if (!text)
                return false;
            row.subItems.push_back(*text);
        }
        return true;
    }

    std::optional<std::string> ReadTabField() {
        const std::int64_t line = scan_.line();
        auto field = scan_.ReadTabField(kMaxTabFieldChars);
        if (!field)
            TooLong(line, "field", kMaxTabFieldChars);
        return field;
    }

    std::optional<std::string> ReadWord() {
        scan_.SkipWhitespace();
        const std::int64_t line = scan_.line();
        auto word = scan_.ReadWord(kMaxWordChars);
        if (!word)
            TooLong(line, "word", kMaxWordChars);
        return word;
    }

    void TooLong(std::int64_t line, std::string_view what, int limit) {
        content_.stop = DataFileStop::FieldTooLong;
        content_.stopLine = line;
        content_.errorText = fmt::format("Loading stopped in line {}: a {} is longer than {} "
                                         "characters. The rows before it have been loaded.",
                                         line, what, limit);
    }

    void StopReading() {
        content_.stop = DataFileStop::ReadError;
        content_.stopLine = scan_.line();
        content_.errorText =
            fmt::format("Loading stopped in line {}: the file could not be read further ({}). The rows "
                        "before it have been loaded.",
                        scan_.line(), std::generic_category().message(scan_.readError()));
    }

    // The time of the row in whole milliseconds, when its date, time and ms can be read.
    std::optional<double> RowMilliseconds(const LoadedRow& row) const {
        const auto days = regional_.ParseDateTime(row.subItems[kDate] + " " + row.subItems[kTime]);
        const auto ms = ParseRowNumber(row.subItems[kMs]);
        if (!days || !ms || !ms->inRange)
            return std::nullopt;
        return std::round(*days * 86400000.0) + ms->value;
    }

    void Draw(LoadedRow& row, std::optional<double> t) {
        const bool timeMode = options_.graficMode != 0;
        if (t) {
            if (!t0_)
                t0_ = *t;
            row.xSeconds = (*t - *t0_) / 1000.0;
        } else if (timeMode) {
            const std::string when =
                row.subItems[kDate] + " " + row.subItems[kTime] + " " + row.subItems[kMs];
            return Fail(DataFileStop::ConversionError, when, "date and time");
        }
        const double x = timeMode ? *row.xSeconds : row.xNumber;
        for (int slot = 0; slot < kSeriesCount; ++slot) {
            if (!options_.seriesChecked[static_cast<std::size_t>(slot)])
                continue;
            const std::string& text = row.subItems[static_cast<std::size_t>(kValue + slot)];
            const auto y = ParseValue(text, separator_);
            if (!y)
                return Fail(DataFileStop::ConversionError, text, "number");
            content_.points.push_back({slot, x, *y});
        }
        row.drawn = true;
    }

    void Fail(DataFileStop stop, std::string_view text, std::string_view what) {
        content_.stop = stop;
        content_.stopLine = line_;
        content_.errorText = fmt::format(
            "Conversion error in line {}: \"{}\" is not a valid {}. The rows before it have been loaded.",
            line_, text, what);
    }

    DataFileScanner scan_;
    const DataFileReadOptions& options_;
    const RegionalSettings& regional_;
    std::string separator_;
    DataFileContent content_;
    std::optional<int> base_; // set by the first stored row, whatever its number
    std::optional<double> t0_;
    std::int64_t line_ = 1;
};

// A recording that a crash or power cut ended in the middle of a line has a last line
// without line end and with fewer fields than a data line. This source leaves such a line
// out rather than let it load short; a complete last line without line end, and a file
// that is only a header, pass as they are. It holds back no more than one line.
class WithoutTornLastLine : public ByteSource {
public:
    explicit WithoutTornLastLine(ByteSource& source) : source_(source) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        while (readyPos_ == ready_.size() && !ended_)
            Pull();
        const std::size_t n = std::min(size, ready_.size() - readyPos_);
        std::copy_n(ready_.data() + readyPos_, n, buffer);
        readyPos_ += n;
        return n;
    }

private:
    // Longer than any data line (its fields have a longest length): passed on, the reader
    // reports it.
    static constexpr std::size_t kMaxHeldBytes = 16 << 10;

    void Pull() {
        char piece[65536];
        const std::size_t got = source_.Read(piece, sizeof piece);
        ready_.clear();
        readyPos_ = 0;
        if (got == 0) {
            ended_ = true;
            error_ = source_.error();
            const auto tabs = std::count(held_.begin(), held_.end(), '\t');
            if (!seenLineEnd_ || tabs >= kListColumnCount - 1)
                ready_.swap(held_);
            return;
        }
        if (!seenLineEnd_ && std::find(piece, piece + got, '\n') == piece + got) {
            ready_.assign(piece, got); // still in the first line, the header
            return;
        }
        held_.append(piece, got);
        const std::size_t lastLineEnd = held_.rfind('\n');
        if (lastLineEnd != std::string::npos) {
            seenLineEnd_ = true;
            ready_.assign(held_, 0, lastLineEnd + 1);
            held_.erase(0, lastLineEnd + 1);
        } else if (held_.size() > kMaxHeldBytes) {
            ready_.swap(held_);
        }
    }

    ByteSource& source_;
    std::string held_;  // after the last line end seen, not passed on yet
    std::string ready_; // to pass on, from readyPos_
    std::size_t readyPos_ = 0;
    bool seenLineEnd_ = false;
    bool ended_ = false;
};

} // namespace

DataFileContent ReadDataFile(ByteSource& source, const DataFileReadOptions& options) {
    WithoutTornLastLine whole(source);
    return RowReader(whole, options).Read();
}

DataFileContent ParseDataFile(std::string_view bytes, const DataFileReadOptions& options) {
    MemorySource source(bytes);
    return ReadDataFile(source, options);
}

DataFileContent LoadDataFile(const std::string& path, const DataFileReadOptions& options) {
    FileSource source(path);
    if (!source.IsOpen()) {
        DataFileContent content;
        content.stop = DataFileStop::FileNotFound;
        return content;
    }
    return ReadDataFile(source, options);
}

void ApplyToStore(const DataFileContent& content, TMeasData& store) {
    for (const LoadedRow& row : content.rows) {
        if (row.index < 0)
            continue;
        const int i = row.index;
        store.SetRowDate(i, row.subItems[kDate]);
        store.SetRowTime(i, row.subItems[kTime]);
        store.SetRowMs(i, row.subItems[kMs]);
        store.SetRowMean(i, row.subItems[kValue]);
        store.SetRowMin(i, row.subItems[kValue + 1]);
        store.SetRowMax(i, row.subItems[kValue + 2]);
        store.SetRowMinAvr(i, row.subItems[kValue + 3]);
        store.SetRowMaxAvr(i, row.subItems[kValue + 4]);
        store.dataList[static_cast<std::size_t>(i)].timestamp = row.timestamp.value_or(0.0);
        store.AdvanceDataListPos();
    }
}

std::vector<LoadMessage> LoadMessages(const DataFileContent& content) {
    std::vector<LoadMessage> messages;
    switch (content.stop) {
    case DataFileStop::FileNotFound:
        return {{std::string(kFileNotFound), kCaptionERROR}};
    case DataFileStop::UnknownFormat:
        return {{std::string(kUnknownFileFormat), kCaptionError}};
    case DataFileStop::ConversionError:
        messages.push_back({content.errorText, kCaptionError});
        break;
    case DataFileStop::FieldTooLong:
    case DataFileStop::ReadError:
        messages.push_back({content.errorText, kCaptionWarning});
        break;
    case DataFileStop::EndOfFile:
        break;
    }
    if (content.skippedRows == 1) {
        messages.push_back({fmt::format("1 row was not loaded: it does not fit into the table of {} data "
                                        "sets (its number lies outside it, or the table is full).",
                                        kDataListSize),
                            kCaptionWarning});
    } else if (content.skippedRows > 1) {
        messages.push_back({fmt::format("{} rows were not loaded: they do not fit into the table of {} data "
                                        "sets (their numbers lie outside it, or the table is full).",
                                        content.skippedRows, kDataListSize),
                            kCaptionWarning});
    }
    return messages;
}

} // namespace kantrel
