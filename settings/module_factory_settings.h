// Factory settings of the modules of the PC and of panels: show, save, update, delete, change.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int ShowModuleFactorySettings(const FeatureSet& features, int32_t panel, int32_t module);
int SaveModuleFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                              int32_t module, uint8_t verify, uint8_t yes);
int UpdateModuleFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                                int32_t module, uint8_t verify, uint8_t yes);
int DeleteModuleFactorySettings(const FeatureSet& features, int32_t panel, int32_t module,
                                uint8_t yes);
// setting: "KEY=value" text, or nullptr; druxsvcadmin's fixed request passes nullptr for PC
// module 0 (the parent device ID correction).
int ChangeModuleFactorySettings(const FeatureSet& features, int32_t panel, int32_t module,
                                const char* setting);

}  // namespace drux
