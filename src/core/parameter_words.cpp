#include "core/parameter_words.h"

namespace kantrel {
namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

void ParameterWords::Append(char c) {
    word_ += c;
    inWord_ = true;
}

void ParameterWords::EndWord() {
    if (inWord_)
        words_.push_back(std::move(word_));
    word_.clear();
    inWord_ = false;
}

// A run of backslashes at text[i]; i ends on its last one, or on a quote it escapes.
void ParameterWords::AddBackslashes(std::string_view text, std::size_t& i) {
    std::size_t count = 0;
    while (i + count < text.size() && text[i + count] == '\\')
        ++count;
    const bool beforeQuote = i + count < text.size() && text[i + count] == '"';
    for (std::size_t k = 0; k < (beforeQuote ? count / 2 : count); ++k)
        Append('\\');
    i += count - 1;
    if (beforeQuote && count % 2 == 1) {
        Append('"');
        ++i;
    }
}

void ParameterWords::AddLine(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote_ == Quote::Single) {
            if (c == '\'')
                quote_ = Quote::None;
            else
                Append(c);
        } else if (c == '\\') {
            AddBackslashes(text, i);
        } else if (c == '"') {
            quote_ = quote_ == Quote::Double ? Quote::None : Quote::Double;
            inWord_ = true;
        } else if (quote_ == Quote::Double) {
            Append(c);
        } else if (c == '\'') {
            quote_ = Quote::Single;
            inWord_ = true;
        } else if (IsSeparator(c)) {
            EndWord();
        } else {
            Append(c);
        }
    }
}

void ParameterWords::AddValue(std::string_view text) {
    word_ += text;
    inWord_ = true;
}

std::vector<std::string> ParameterWords::Finish() {
    EndWord();
    quote_ = Quote::None;
    return std::move(words_);
}

std::vector<std::string> SplitShellWords(std::string_view text) {
    ParameterWords words;
    words.AddLine(text);
    return words.Finish();
}

std::string QuoteShellWord(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\n\r\"'") == std::string_view::npos)
        return std::string(word);
    // Inside single quotes every character stands for itself; a single quote itself is
    // closed, double-quoted and reopened.
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    return quoted + "'";
}

std::string JoinShellWords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words)
        line += (line.empty() ? "" : " ") + QuoteShellWord(word);
    return line;
}

} // namespace kantrel
