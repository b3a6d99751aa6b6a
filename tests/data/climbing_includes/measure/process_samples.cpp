#include "files/external_program.h" // the processing starting a program itself
#include "measure/meas_data.h"
