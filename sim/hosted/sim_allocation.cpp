// The simulated controller's memory on the host.
#include <cstdlib>

#include "sim/sim.h"

namespace sim {

void* Allocate(size_t bytes) {
  return std::malloc(bytes);
}

void Release(void* memory) {
  std::free(memory);
}

}  // namespace sim
