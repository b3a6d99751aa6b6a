#include "core/link_flags.h"

namespace kantrel {

std::atomic<bool> commandPending{false};
std::atomic<bool> instrumentConnected{false};
std::atomic<bool> dataErrorLatched{false};

}  // namespace kantrel
