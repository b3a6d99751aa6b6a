#pragma once

// The reading units of a data file over a stream of bytes, decoded as they arrive, so
// that reading never holds more than one piece of the file:
//   word       whitespace (blanks, TABs, line ends, other control characters but NUL)
//              skipped, then everything up to the next whitespace; empty at the end
//   TAB field  everything up to the next TAB, which is consumed; blanks and line ends
//              are ordinary characters here
// Both have a longest length in characters; a longer one is a failed read. CR LF is
// read as one line end (LF); a CR on its own stays a character. A UTF-8 byte-order mark
// at the very start is skipped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace kantrel {

// Where the bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `buffer`; 0 at the end. A failed read returns 0 as well and
    // leaves its errno in error().
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    int error() const { return error_; }

protected:
    int error_ = 0;
};

// Bytes already in memory.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::string_view bytes_;
};

// A file read piece by piece. error() is set when it cannot be opened.
class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    int fd_ = -1;
};

class DataFileScanner {
public:
    // progress, when set, is told the number of bytes read so far after every piece.
    explicit DataFileScanner(ByteSource& source, std::function<void(std::uint64_t)> progress = {});

    bool AtEnd() { return !Available(); }
    std::int64_t line() const { return line_; }
    std::uint64_t bytesRead() const { return bytesRead_; }
    // The errno of a read that failed (the end of the text came early); 0 otherwise.
    int readError() const { return source_.error(); }

    void SkipWhitespace();
    // nullopt when the unit is longer than maxChars characters.
    std::optional<std::string> ReadWord(std::size_t maxChars);
    std::optional<std::string> ReadTabField(std::size_t maxChars);

private:
    bool Available() { return pos_ < text_.size() || Fill(); }
    bool Fill();

    ByteSource& source_;
    std::function<void(std::uint64_t)> progress_;
    TextDecoder decoder_;
    std::string text_; // decoded, from pos_ on not yet read
    std::size_t pos_ = 0;
    bool sourceEnded_ = false;
    bool startChecked_ = false;
    std::uint64_t bytesRead_ = 0;
    std::int64_t line_ = 1;
};

} // namespace kantrel
