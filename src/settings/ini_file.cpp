#include "settings/ini_file.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/text_encoding.h"

namespace kantrel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    auto unit = [&](std::size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    for (char32_t cp : Utf8ToCodePoints(text)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::optional<int> ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (negative) value = -value;
    // Hexadecimal texts up to 0xFFFFFFFF read as the 32-bit pattern they spell.
    if (base == 16 && !negative && value > 0x7FFFFFFFLL && value <= 0xFFFFFFFFLL)
        value -= 0x100000000LL;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile ini;
    std::string text;
    if (bytes.starts_with(kUtf8Bom)) {
        ini.encoding_ = Encoding::Utf8Bom;
        text = DecodeTextFile(bytes.substr(kUtf8Bom.size()));
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
               static_cast<unsigned char>(bytes[1]) == 0xFE) {
        ini.encoding_ = Encoding::Utf16LeBom;
        text = Utf16ToUtf8(bytes.substr(2), false);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        ini.encoding_ = Encoding::Utf16BeBom;
        text = Utf16ToUtf8(bytes.substr(2), true);
    } else {
        text = DecodeTextFile(bytes);
    }
    if (text.find("\r\n") != std::string::npos) ini.lineEnd_ = "\r\n";

    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = TrimBlanks(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const std::string_view name = line.substr(1, line.size() - 2);
            current = ini.FindSection(name);
            if (current == nullptr)
                current = &ini.AddSection(name);
            continue;
        }
        if (current == nullptr) continue;  // before the first section
        if (const auto eq = line.find('='); eq != std::string_view::npos) {
            current->lines.push_back(
                Line{true, std::string(TrimBlanks(line.substr(0, eq))), std::string(TrimBlanks(line.substr(eq + 1)))});
        } else {
            current->lines.push_back(Line{false, {}, std::string(line)});
        }
    }
    return ini;
}

IniFile::LoadResult IniFile::Load(const std::string& path) {
    LoadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return result; // a missing file reads as empty
        result.ok = false;
        result.error = std::strerror(errno);
        return result;
    }
    // A folder opens as well; reading it fails.
    std::string bytes;
    char piece[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, piece, sizeof piece)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        bytes.append(piece, static_cast<std::size_t>(got));
    }
    if (got < 0) {
        result.ok = false;
        result.error = std::strerror(errno);
    } else {
        result.file = Parse(bytes);
    }
    ::close(fd);
    return result;
}

SaveResult IniFile::Save(const std::string& path) const {
    return SaveFileReplacing(path, Serialize());
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    const auto found = sectionIndex_.find(LowerAscii(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    const auto found = sectionIndex_.find(LowerAscii(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniFile::Section& IniFile::AddSection(std::string_view name) {
    sectionIndex_.emplace(LowerAscii(name), sections_.size());
    sections_.push_back(Section{std::string(name), {}});
    return sections_.back();
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (s == nullptr) return std::nullopt;
    for (const Line& line : s->lines)
        if (line.isEntry && EqualsIgnoreCase(line.key, key)) return line.value;
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    auto value = Read(section, key);
    return value ? *value : std::string(def);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    auto value = Read(section, key);
    if (!value) return def;
    return ParseInteger(*value).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::KeyReadsBack(std::string_view key) {
    return !key.empty() && TrimBlanks(key) == key && key.find_first_of("=\r\n") == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

bool IniFile::ValueReadsBack(std::string_view value) {
    return TrimBlanks(value) == value && value.find_first_of("\r\n") == std::string_view::npos;
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (!KeyReadsBack(key) || !ValueReadsBack(value) ||
        section.find_first_of("\r\n") != std::string_view::npos)
        return false;
    Section* s = FindSection(section);
    if (s == nullptr)
        s = &AddSection(section);
    for (Line& line : s->lines) {
        if (line.isEntry && EqualsIgnoreCase(line.key, key)) {
            line.key = std::string(key);
            line.value = std::string(value);
            return true;
        }
    }
    s->lines.push_back(Line{true, std::string(key), std::string(value)});
    return true;
}

std::string IniFile::Serialize() const {
    std::string text;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) text += lineEnd_;
        text += "[" + sections_[i].name + "]" + lineEnd_;
        for (const Line& line : sections_[i].lines) {
            text += line.isEntry ? line.key + "=" + line.value : line.value;
            text += lineEnd_;
        }
    }
    switch (encoding_) {
    case Encoding::Utf8:
        return text;
    case Encoding::Utf8Bom:
        return std::string(kUtf8Bom) + text;
    case Encoding::Utf16LeBom:
        return "\xFF\xFE" + Utf8ToUtf16(text, false);
    case Encoding::Utf16BeBom:
        return "\xFE\xFF" + Utf8ToUtf16(text, true);
    }
    return text;
}

}  // namespace kantrel
