// ExpandParameters and the splitting of the expanded parameters into program arguments
// (SplitShellWords, as the program launcher does it).
//
// Input: texts separated by zero bytes: the parameter template ("extParameter"), the
// configured "DecimalSeparator", the store's min, max, min averaged, max averaged and
// mean texts, then the time and date texts of the row.
//
// Properties: the words of the template and of the expanded parameters survive being
// quoted and split again; valid UTF-8 stays valid UTF-8.

#include <fmt/format.h>

#include "core/parameter_words.h"
#include "core/text_encoding.h"
#include "files/external_program.h"
#include "fuzz/fuzz_support.h"
#include "measure/meas_data.h"
#include "platform/posix_program_launcher.h"
#include "settings/settings.h"
#include "support/fake_ports.h"

namespace {

void CheckSplitting(const std::string& line) {
    const std::vector<std::string> words = kantrel::SplitShellWords(line);
    const std::string joined = kantrel::JoinShellWords(words);
    FUZZ_CHECK_MSG(kantrel::SplitShellWords(joined) == words, fmt::format("line \"{}\"", line));
}

// One store for the whole run: it is large, and ExpandParameters reads only its texts
// and the row set here. Made before any test double is installed, so that it keeps the
// default (inert) timer.
kantrel::TMeasData& Store() {
    static kantrel::TMeasData store(1);
    return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kantrel::TMeasData& store = Store();
    kantrel::test::ResetProcessState();
    kantrel::fuzz::FuzzInput in(data, size);
    kantrel::settings.extParameter = in.Text();
    kantrel::settings.DecimalSeparator = in.Text();
    std::string* texts[] = {&store.minText, &store.maxText, &store.minAvrText, &store.maxAvrText,
                            &store.meanText};
    for (std::string* text : texts)
        *text = in.Text();
    store.SetRowTime(0, std::string(in.Text()));
    store.SetRowDate(0, std::string(in.Text()));

    bool allUtf8 = kantrel::IsValidUtf8(kantrel::settings.extParameter) &&
                   kantrel::IsValidUtf8(kantrel::settings.DecimalSeparator) &&
                   kantrel::IsValidUtf8(store.GetRowTime(0)) && kantrel::IsValidUtf8(store.GetRowDate(0));
    for (const std::string* text : texts)
        allUtf8 = allUtf8 && kantrel::IsValidUtf8(*text);

    const std::string parameters = kantrel::ExpandParameters(store, 0);
    if (allUtf8)
        FUZZ_CHECK_MSG(kantrel::IsValidUtf8(parameters),
                       fmt::format("\"{}\" became \"{}\"", kantrel::settings.extParameter, parameters));
    CheckSplitting(kantrel::settings.extParameter);
    CheckSplitting(parameters);
    return 0;
}
