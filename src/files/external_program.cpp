#include "files/external_program.h"

#include <string_view>
#include <vector>

#include "core/parameter_words.h"
#include "core/ports.h"
#include "core/text_encoding.h"
#include "measure/meas_data.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

// The parameter line while placeholders are replaced: pieces of the configured line and
// values put in between, which are never searched again nor split or unquoted.
struct Piece {
    std::string text;
    bool value = false;
};

// The length of the character at the start of text (one byte for one that is no UTF-8).
std::size_t CharacterLength(std::string_view text) {
    const Utf8Sequence s = NextUtf8Sequence(text);
    return s.kind == Utf8Sequence::Valid ? s.length : 1;
}

// Replaces the first occurrence of the placeholder and the one character behind it (the
// blank before the next argument, or whatever stands there) by the value and a blank
// that separates it from what follows. A quote or backslash behind it stays, since it
// shapes the words of the line, and then no blank is added. False when the line has no
// such placeholder.
bool ReplacePlaceholder(std::vector<Piece>& pieces, std::string_view placeholder, std::string_view value) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].value)
            continue;
        const std::string& text = pieces[i].text;
        const std::size_t at = text.find(placeholder);
        if (at == std::string::npos)
            continue;
        const std::size_t after = at + placeholder.size();
        std::size_t removed = 0;
        bool separator = i + 1 < pieces.size(); // a value follows
        if (after < text.size()) {
            const char next = text[after];
            separator = next != '"' && next != '\'' && next != '\\';
            removed = separator ? CharacterLength(std::string_view(text).substr(after)) : 0;
        }
        Piece before{text.substr(0, at)};
        Piece rest{(separator ? " " : "") + text.substr(after + removed)};
        pieces[i] = std::move(before);
        pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      {Piece{std::string(TrimBlanks(value)), true}, std::move(rest)});
        return true;
    }
    return false;
}

} // namespace

std::string ExpandParameters(TMeasData& store, int row) {
    std::vector<Piece> pieces{{settings.extParameter}};
    const auto occurs = [&](std::string_view placeholder) {
        for (const Piece& piece : pieces)
            if (!piece.value && piece.text.find(placeholder) != std::string::npos)
                return true;
        return false;
    };
    const struct {
        std::string_view placeholder;
        std::string* text;
    } values[] = {{"_Min_", &store.minText},
                  {"_Max_", &store.maxText},
                  {"_MinAvr_", &store.minAvrText},
                  {"_MaxAvr_", &store.maxAvrText},
                  {"_Mean_", &store.meanText}};
    bool replaced = false;
    for (const auto& v : values) {
        if (!occurs(v.placeholder))
            continue;
        // The store keeps the converted text: the live display shows it until the next mean.
        ToSettingSeparator(*v.text);
        replaced = ReplacePlaceholder(pieces, v.placeholder, *v.text) || replaced;
    }
    replaced = ReplacePlaceholder(pieces, "_Time_", store.GetRowTime(row)) || replaced;
    replaced = ReplacePlaceholder(pieces, "_Date_", store.GetRowDate(row)) || replaced;
    if (!replaced)
        return settings.extParameter;
    // The words as the program gets them, written so that the launcher splits them back
    // unchanged.
    ParameterWords words;
    for (const Piece& piece : pieces) {
        if (piece.value)
            words.AddValue(piece.text);
        else
            words.AddLine(piece.text);
    }
    return JoinShellWords(words.Finish());
}

std::string LaunchErrorMessage(int resultCode, const std::string& program) {
    switch (resultCode) {
    case 2:
        return "File '" + program + "' not found!";
    case 3:
        return "Path to File '" + program + "' not found!";
    case 8:
        return "out of memory!";
    case 11:
        return "Invalid or bad format of application!";
    case 26:
        return "access to file '" + program + "' denied!";
    case 31:
        return "unknown filetype!";
    default:
        return resultCode > 32 ? std::string() : "File '" + program + "' could not be opend!";
    }
}

void LaunchExternalProgram(const std::string& program, const std::string& parameters) {
    const std::string message = LaunchErrorMessage(launcher().Launch(program, parameters), program);
    // The processing cycle starts the program from the refresh tick, which must go on
    // while the operator reads the message.
    if (!message.empty())
        window().OpenMessage(message, kCaptionError, nullptr);
}

void ExternalProgramStarter::HandOver(TMeasData& store, int row) {
    if (!settings.extProgramm.empty())
        LaunchExternalProgram(settings.extProgramm, ExpandParameters(store, row));
}

} // namespace kantrel
