// One driver per action: settle the target and call the handler of the data type.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int RunInfo(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module);
int RunSave(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module, uint8_t verify, uint8_t yes);
int RunUpdate(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
              int32_t module, uint8_t verify, uint8_t yes);
int RunDelete(const FeatureSet& features, uint32_t dataType, int32_t panel, int32_t module,
              uint8_t yes);
int RunChange(const FeatureSet& features, uint32_t dataType, const char* setting, int32_t panel,
              int32_t module);

}  // namespace drux
