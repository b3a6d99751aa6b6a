#pragma once

// The words of the external program's parameter line. The line is usually one written
// for the program on Windows, so it is split as Windows splits a command line, with
// single quotes as well:
//   - blanks, TABs and line ends separate words;
//   - "..." keeps blanks inside a word, '...' keeps everything inside as it is;
//   - a backslash is an ordinary character, except in front of a double quote: there
//     2n backslashes give n backslashes and the quote opens or closes, 2n+1 backslashes
//     give n backslashes and a '"' that belongs to the word;
//   - an unclosed quote runs to the end of the line; nothing is expanded ($, ~, *).
// Values put into a line (the placeholders of ExpandParameters) are added as literal
// text: their blanks, quotes and backslashes are characters of the word they stand in.

#include <string>
#include <string_view>
#include <vector>

namespace kantrel {

class ParameterWords {
public:
    void AddLine(std::string_view text);  // line text, split and unquoted by the rule above
    void AddValue(std::string_view text); // literal text, part of the current word
    std::vector<std::string> Finish();

private:
    void AddBackslashes(std::string_view text, std::size_t& i);
    void Append(char c);
    void EndWord();

    enum class Quote { None, Double, Single } quote_ = Quote::None;
    std::vector<std::string> words_;
    std::string word_;
    bool inWord_ = false;
};

std::vector<std::string> SplitShellWords(std::string_view text);

// The word written so that SplitShellWords gives it back unchanged.
std::string QuoteShellWord(std::string_view word);
// The words, each quoted as needed, separated by one blank.
std::string JoinShellWords(const std::vector<std::string>& words);

} // namespace kantrel
