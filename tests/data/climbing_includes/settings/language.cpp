// The settings reach up into measure for a port.
#include "measure/ports.h"
