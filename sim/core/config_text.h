// The configuration text in parts, one per kind of setting: the machine's own fields, its panels
// and the walk through a whole configuration (config_text.cpp), the modules of the PC and of
// the panels with their statistics records (config_module_text.cpp), and the forms of values
// that they share (config_values.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/core/machine.h"

namespace sim::internal {

// ---- Value forms (config_values.cpp) ----
char UpperCase(char c);
bool EqualsIgnoringCase(const char* a, const char* b);
// "1", "yes", "true", "on" or "0", "no", "false", "off", in any case.
bool ParseBool(const char* text, bool* value);
bool ParseLimited(const char* text, uint32_t maximum, uint32_t* value);
bool CopyField(char* field, size_t capacity, const char* text);

// ---- Modules (config_module_text.cpp) ----
// One "<field>" of a module ("id", "serial", "temp-max.2", ...); the module changes only when
// the value is valid.
bool ApplyModuleSetting(ModuleConfig& target, const char* field, const char* value);
void AppendModuleText(TextBuilder& text, const char* prefix, const ModuleConfig& module);

}  // namespace sim::internal
