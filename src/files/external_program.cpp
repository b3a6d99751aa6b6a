#include "files/external_program.h"

#include <string_view>

#include "measure/meas_data.h"
#include "measure/ports.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

// Replaces the first occurrence of the placeholder and the one character behind it (the
// blank before the next argument, or whatever stands there) by the value and one blank.
bool ReplacePlaceholder(std::string& parameters, std::string_view placeholder, const std::string& value) {
    const std::size_t at = parameters.find(placeholder);
    if (at == std::string::npos)
        return false;
    parameters.replace(at, placeholder.size() + 1, value + " ");
    return true;
}

} // namespace

std::string ExpandParameters(TMeasData& store, int row) {
    std::string parameters = settings.extParameter;
    const struct {
        std::string_view placeholder;
        std::string* text;
    } values[] = {{"_Min_", &store.minText},
                  {"_Max_", &store.maxText},
                  {"_MinAvr_", &store.minAvrText},
                  {"_MaxAvr_", &store.maxAvrText},
                  {"_Mean_", &store.meanText}};
    for (const auto& v : values) {
        if (parameters.find(v.placeholder) == std::string::npos)
            continue;
        // The store keeps the converted text: the live display shows it until the next mean.
        ToSettingSeparator(*v.text);
        ReplacePlaceholder(parameters, v.placeholder, *v.text);
    }
    ReplacePlaceholder(parameters, "_Time_", store.GetRowTime(row));
    ReplacePlaceholder(parameters, "_Date_", store.GetRowDate(row));
    return parameters;
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
    if (!message.empty())
        window().ShowMessage(message, kCaptionError);
}

} // namespace kantrel
