#include "files/data_file_reader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include "measure/meas_data.h"
#include "measure/ports.h"
#include "settings/settings.h"
#include "settings/text_encoding.h"

namespace kantrel {
namespace {

// Blanks, TABs, line ends and the other control characters; a NUL byte is an ordinary
// character of a word.
bool IsWhitespace(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= 0x20;
}
bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CountCharacters(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += IsContinuationByte(c) ? 0 : 1;
    return count;
}

// Words and TAB fields over the decoded text, counting lines for the messages.
class Scanner {
public:
    explicit Scanner(std::string text) : text_(std::move(text)) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    int line() const { return line_; }

    void SkipWhitespace() {
        while (!AtEnd() && IsWhitespace(text_[pos_]))
            Advance();
    }

    std::string ReadWord() {
        SkipWhitespace();
        const std::size_t start = pos_;
        while (!AtEnd() && !IsWhitespace(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    // nullopt when the field is longer than kMaxTabFieldChars.
    std::optional<std::string> ReadTabField() {
        const std::size_t start = pos_;
        std::size_t characters = 0;
        while (!AtEnd() && text_[pos_] != '\t') {
            if (!IsContinuationByte(text_[pos_]) && ++characters > kMaxTabFieldChars)
                return std::nullopt;
            Advance();
        }
        std::string field = text_.substr(start, pos_ - start);
        if (!AtEnd())
            ++pos_; // the TAB
        return field;
    }

private:
    void Advance() {
        if (text_[pos_] == '\n')
            ++line_;
        ++pos_;
    }

    std::string text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

// Windows files end their lines with CR LF; a line end is one LF here.
std::string NormaliseLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

std::optional<int> ParseRowNumber(std::string_view text) {
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
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
    RowReader(std::string text, const DataFileReadOptions& options)
        : scan_(NormaliseLineEnds(std::move(text))), options_(options),
          regional_(options.regional ? *options.regional : regional()),
          separator_(regional_.DecimalSeparator()) {}

    DataFileContent Read() {
        if (scan_.ReadWord() != "Number") {
            content_.stop = DataFileStop::UnknownFormat;
            content_.stopLine = 1;
            return std::move(content_);
        }
        ReadCaptions();
        while (!scan_.AtEnd() && content_.stop == DataFileStop::EndOfFile)
            ReadRow();
        return std::move(content_);
    }

private:
    void ReadCaptions() {
        static constexpr int kWordsPerColumn[kListColumnCount] = {0, 1, 1, 3, 3, 3, 3, 3, 3};
        for (int column = 1; column < kListColumnCount; ++column)
            for (int word = 0; word < kWordsPerColumn[column]; ++word)
                content_.captions[static_cast<std::size_t>(column)] += scan_.ReadWord();
        scan_.ReadWord(); // the averaging field
    }

    void ReadRow() {
        content_.rows.emplace_back();
        scan_.SkipWhitespace();
        line_ = scan_.line();
        const std::string numberText = scan_.ReadWord();
        if (numberText.empty())
            return; // stays a blank list row
        LoadedRow& row = content_.rows.back();
        row.numberText = numberText;
        const auto number = ParseRowNumber(numberText);
        if (!number)
            return Fail(DataFileStop::ConversionError, numberText, "row number");
        if (!base_)
            base_ = *number;
        row.number = *number;
        row.xNumber = *number;
        const long long index = static_cast<long long>(*number) - *base_;

        if (!ReadFields(row))
            return;
        if (index < 0 || index >= kDataListSize) {
            // Never stored outside the table; counted and reported after the load.
            ++content_.skippedRows;
            content_.rows.pop_back();
            return;
        }
        row.index = static_cast<int>(index);
        ++content_.storedRows;
        const auto t = RowMilliseconds(row);
        if (t)
            row.timestamp = *t / 86400000.0;
        // A time text of fewer than eight characters is listed but not drawn.
        if (CountCharacters(row.subItems[kTime]) >= 8)
            Draw(row, t);
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
        for (int field = kMs; field < kValue + kSeriesCount; ++field)
            row.subItems.push_back(scan_.ReadWord());
        return true;
    }

    std::optional<std::string> ReadTabField() {
        const int line = scan_.line();
        auto field = scan_.ReadTabField();
        if (!field) {
            content_.stop = DataFileStop::FieldTooLong;
            content_.stopLine = line;
            content_.errorText = fmt::format("Loading stopped in line {}: a field is longer than {} "
                                             "characters. The rows before it have been loaded.",
                                             line, kMaxTabFieldChars);
        }
        return field;
    }

    // The time of the row in whole milliseconds, when its date, time and ms can be read.
    std::optional<double> RowMilliseconds(const LoadedRow& row) const {
        const auto days = regional_.ParseDateTime(row.subItems[kDate] + " " + row.subItems[kTime]);
        const auto ms = ParseRowNumber(row.subItems[kMs]);
        if (!days || !ms)
            return std::nullopt;
        return std::round(*days * 86400000.0) + *ms;
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

    Scanner scan_;
    const DataFileReadOptions& options_;
    const RegionalSettings& regional_;
    std::string separator_;
    DataFileContent content_;
    std::optional<int> base_; // set by the first row, whatever its number
    std::optional<double> t0_;
    int line_ = 1;
};

} // namespace

DataFileContent ParseDataFile(std::string_view bytes, const DataFileReadOptions& options) {
    // A byte-order mark that an editor put in front of the first word.
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return RowReader(DecodeTextFile(bytes), options).Read();
}

namespace {

// The whole file; nullopt when it cannot be opened or read (a folder included).
std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return bytes;
}

} // namespace

DataFileContent LoadDataFile(const std::string& path, const DataFileReadOptions& options) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        DataFileContent content;
        content.stop = DataFileStop::FileNotFound;
        return content;
    }
    return ParseDataFile(*bytes, options);
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
        messages.push_back({content.errorText, kCaptionWarning});
        break;
    case DataFileStop::EndOfFile:
        break;
    }
    if (content.skippedRows == 1) {
        messages.push_back(
            {fmt::format("1 row was not loaded: its number lies outside the table of {} data sets.",
                         kDataListSize),
             kCaptionWarning});
    } else if (content.skippedRows > 1) {
        messages.push_back(
            {fmt::format("{} rows were not loaded: their numbers lie outside the table of {} data sets.",
                         content.skippedRows, kDataListSize),
             kCaptionWarning});
    }
    return messages;
}

} // namespace kantrel
