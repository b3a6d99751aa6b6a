#pragma once

// Text files from Windows: bytes that are not valid UTF-8 are read as Windows-1252.

#include <string>
#include <string_view>

namespace kantrel {

bool IsValidUtf8(std::string_view bytes);
void AppendUtf8(std::string& out, char32_t codePoint);
// UTF-8 into code points; a byte that starts no complete sequence stands for itself.
std::u32string Utf8ToCodePoints(std::string_view text);
std::string Windows1252ToUtf8(std::string_view bytes);
// The text as UTF-8: unchanged when it is valid UTF-8, else converted from Windows-1252.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace kantrel
