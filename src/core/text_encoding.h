#pragma once

// Text files from Windows: every valid UTF-8 sequence is read as UTF-8 and every other
// byte as Windows-1252, so that one line pasted from a Windows editor changes only its
// own characters.

#include <cstddef>
#include <string>
#include <string_view>

namespace kantrel {

void AppendUtf8(std::string& out, char32_t codePoint);
// UTF-8 into code points; a byte that starts no complete sequence stands for itself.
std::u32string Utf8ToCodePoints(std::string_view text);

// What the bytes at the start of a text hold.
struct Utf8Sequence {
    enum Kind {
        Valid,     // a complete sequence of `length` bytes
        Invalid,   // the first byte starts no valid sequence
        Truncated, // the bytes end inside a sequence that is valid so far (or are empty)
    } kind;
    std::size_t length = 0;
};
Utf8Sequence NextUtf8Sequence(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// A byte that continues a UTF-8 sequence (10xxxxxx) and so starts no character.
constexpr bool IsUtf8ContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
// The characters of a UTF-8 text: its bytes that start one.
std::size_t CountUtf8Characters(std::string_view text);

// Decodes a text that arrives in pieces. A sequence cut by the end of a piece waits
// for the next piece; Finish decodes what is left at the end of the text.
class TextDecoder {
public:
    void Decode(std::string_view bytes, std::string& out);
    void Finish(std::string& out);

private:
    std::string pending_; // at most the first three bytes of a cut sequence
};

// The whole text as UTF-8.
std::string DecodeTextFile(std::string_view bytes);

// Single-byte text in Windows-1252 (the instrument's texts), every byte one character.
std::string Windows1252ToUtf8(std::string_view bytes);

} // namespace kantrel
