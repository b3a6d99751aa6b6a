#pragma once

// The external program started for each data set taken singly, with the data set's
// values in its parameters.

#include <string>

#include "core/ports.h"

namespace kantrel {

// The parameters from settings.extParameter with the placeholders _Min_, _Max_,
// _MinAvr_, _MaxAvr_, _Mean_ (the store's texts, converted with ToSettingSeparator in
// the store itself), _Time_ and _Date_ (of row `row`) replaced; the first occurrence of
// each, together with the character behind it. Each value, without the blanks around
// it, becomes part of the word it stands in: it is never split or unquoted, and it never
// changes how the rest of the line is split (parameter_words.h). The result is the line
// as the launcher splits it; a line without placeholders comes back unchanged.
std::string ExpandParameters(TMeasData& store, int row);

// The operator's message for a failed start with that result code; empty when the code
// means success (above 32).
std::string LaunchErrorMessage(int resultCode, const std::string& program);

// Starts the program; on failure shows the message for the result code in a box that
// is not waited for.
void LaunchExternalProgram(const std::string& program, const std::string& parameters);

// The external program of the settings: settings.extProgramm, when set, started with
// ExpandParameters for each data set taken singly.
class ExternalProgramStarter : public ExternalProgram {
public:
    void HandOver(TMeasData& store, int row) override;
};

} // namespace kantrel
