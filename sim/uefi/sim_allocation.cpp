// The simulated controller's memory in the UEFI test images: the firmware's pool.
#include <efi.h>

#include "platform/uefi/uefi_backend.h"
#include "sim/sim.h"

namespace sim {

void* Allocate(size_t bytes) {
  void* memory = nullptr;
  if (EFI_ERROR(platform::uefi::Boot()->AllocatePool(EfiLoaderData, bytes, &memory))) {
    return nullptr;
  }
  return memory;
}

void Release(void* memory) {
  if (memory != nullptr) {
    platform::uefi::Boot()->FreePool(memory);
  }
}

}  // namespace sim
