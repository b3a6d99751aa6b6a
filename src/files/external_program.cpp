#include "files/external_program.h"

#include "measure/meas_data.h"
#include "settings/settings.h"

namespace kantrel {

std::string ExpandParameters(TMeasData& /*store*/, int /*row*/) { return settings.extParameter; }

void LaunchExternalProgram(const std::string& program, const std::string& parameters) {
    launcher().Launch(program, parameters);
}

}  // namespace kantrel
