#include "files/data_file_scanner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kantrel {
namespace {

constexpr std::size_t kPieceSize = 1 << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsWhitespace(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= 0x20;
}

} // namespace

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, bytes_.size());
    std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

FileSource::FileSource(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0)
        error_ = errno;
}

FileSource::~FileSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t FileSource::Read(char* buffer, std::size_t size) {
    if (fd_ < 0)
        return 0;
    while (true) {
        const ssize_t got = ::read(fd_, buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            error_ = errno;
            return 0;
        }
    }
}

DataFileScanner::DataFileScanner(ByteSource& source, std::function<void(std::uint64_t)> progress)
    : source_(source), progress_(std::move(progress)) {}

bool DataFileScanner::Fill() {
    text_.erase(0, pos_);
    pos_ = 0;
    char piece[kPieceSize];
    // Until decoded text is there, or a byte-order mark at the start can be told apart.
    while (!sourceEnded_ && (text_.empty() || (!startChecked_ && text_.size() < kByteOrderMark.size()))) {
        const std::size_t got = source_.Read(piece, sizeof piece);
        if (got == 0) {
            sourceEnded_ = true;
            decoder_.Finish(text_);
        } else {
            bytesRead_ += got;
            decoder_.Decode(std::string_view(piece, got), text_);
        }
        if (progress_)
            progress_(bytesRead_);
    }
    if (!startChecked_) {
        startChecked_ = true;
        if (std::string_view(text_).starts_with(kByteOrderMark))
            pos_ = kByteOrderMark.size();
    }
    return pos_ < text_.size();
}

void DataFileScanner::SkipWhitespace() {
    while (Available()) {
        const char c = text_[pos_];
        if (!IsWhitespace(c))
            return;
        // A CR LF counts once, at its LF; a CR on its own ends no line.
        if (c == '\n')
            ++line_;
        ++pos_;
    }
}

std::optional<std::string> DataFileScanner::ReadWord(std::size_t maxChars) {
    SkipWhitespace();
    std::string word;
    std::size_t characters = 0;
    while (Available()) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsWhitespace(text_[pos_])) {
            if (!IsUtf8ContinuationByte(text_[pos_]) && ++characters > maxChars)
                return std::nullopt;
            ++pos_;
        }
        word.append(text_, start, pos_ - start);
        if (pos_ < text_.size())
            break;
    }
    return word;
}

std::optional<std::string> DataFileScanner::ReadTabField(std::size_t maxChars) {
    std::string field;
    std::size_t characters = 0;
    while (Available() && text_[pos_] != '\t') {
        char c = text_[pos_];
        if (!IsUtf8ContinuationByte(c) && ++characters > maxChars)
            return std::nullopt;
        ++pos_;
        if (c == '\r' && Available() && text_[pos_] == '\n')
            c = text_[pos_++]; // CR LF is one line end
        if (c == '\n')
            ++line_;
        field += c;
    }
    if (Available())
        ++pos_; // the TAB
    return field;
}

} // namespace kantrel
