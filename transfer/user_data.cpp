// User data: the tagged area of the flash that both programs offer.
#include "transfer/memory_area_layout.h"
#include "transfer/memory_area_types.h"

namespace drux {

int ShowUserData() {
  return memory_area::ShowTaggedArea(memory_area::kUserData);
}

int SaveUserData(const FeatureSet& features, const char* fileName, uint8_t verify,
                 uint8_t assumeYes) {
  return memory_area::SaveTaggedArea(features, memory_area::kUserData, fileName, verify, assumeYes);
}

int UpdateUserData(const FeatureSet& features, const char* fileName, uint8_t verify) {
  return memory_area::UpdateTaggedArea(features, memory_area::kUserData, fileName, verify);
}

int DeleteUserData(uint8_t assumeYes) {
  return memory_area::DeleteTaggedArea(memory_area::kUserData, assumeYes);
}

}  // namespace drux
