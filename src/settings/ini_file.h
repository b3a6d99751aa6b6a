#pragma once

// INI files as the settings and language files use them:
//   [Section]          section names and keys match without regard to case
//   key = value        split at the first "="; key and value trimmed
//   ; comment          ignored, and not written back
// Every line is taken without surrounding blanks; lines before the first section are
// ignored and not written back; other lines inside a section are kept as they stand.
// The file is read whole (valid UTF-8 sequences as UTF-8 and every other byte as
// Windows-1252, or UTF-16 after a byte-order mark) and written back whole as UTF-8, with
// the byte-order mark it began with.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/replace_file.h"

namespace kantrel {

class IniFile {
public:
    enum class Encoding { Utf8, Utf8Bom, Utf16LeBom, Utf16BeBom };

    static IniFile Parse(std::string_view bytes);

    struct LoadResult;
    // A missing file reads as empty; a file that exists but cannot be read is an error.
    static LoadResult Load(const std::string& path);
    // Replaces the file whole (replace_file.h): afterwards it is the old or the new file.
    SaveResult Save(const std::string& path) const;

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Decimal, or hexadecimal after "0x"; anything else gives def.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    bool SectionExists(std::string_view section) const;

    // Replaces the first entry of that key, else appends one at the end of the section,
    // creating the section when it is missing. An entry that would not read back as
    // written is not written (false).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    // Whether an entry of this key or value reads back as it is written: a key not empty,
    // without "=", line breaks or blanks around it, starting neither with "[" (a section)
    // nor with ";" (a comment); a value without line breaks or blanks around it.
    static bool KeyReadsBack(std::string_view key);
    static bool ValueReadsBack(std::string_view value);

    std::string Serialize() const;  // the bytes that Save writes
    Encoding encoding() const { return encoding_; }

private:
    struct Line {
        bool isEntry = false;
        std::string key;    // entries
        std::string value;  // entries; the whole line otherwise
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    Section& AddSection(std::string_view name);

    std::vector<Section> sections_;
    // Index into sections_ by the name in lower case, so that finding a section does not
    // grow with the number of sections (a file of many sections would read in quadratic time).
    std::unordered_map<std::string, std::size_t> sectionIndex_;
    Encoding encoding_ = Encoding::Utf8;
    std::string lineEnd_ = "\n";  // CR LF when the file came with it
};

struct IniFile::LoadResult {
    IniFile file;
    bool ok = true;  // false: the file exists but could not be read
    std::string error;
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string_view TrimBlanks(std::string_view text);  // blanks and control characters

}  // namespace kantrel
