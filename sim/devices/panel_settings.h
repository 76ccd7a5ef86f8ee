// A panel's own factory settings in its display area (command 0x20, target 4): the display
// block, and on a panel with modules an extended factory-settings record behind it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/sim.h"

namespace sim {

inline constexpr uint32_t kPanelSettingsWithModulesBytes = 2048;
inline constexpr uint32_t kExtendedRecordBytes = 1792;  // behind the 256-byte display block

// The panel types that carry modules, by panel version ID.
bool PanelTypeHasModules(uint16_t versionId);
// Bytes of the display area that command 0x20, target 4 reaches on this panel.
uint32_t PanelSettingsBytes(const PanelConfig& panel);

namespace internal {

// The default machine's panel factory settings: display block, and on a panel with modules an
// extended record with the same identity. Writes what falls into [offset, offset + length).
void FillPanelSettings(const PanelConfig& panel, uint32_t offset, uint8_t* bytes, uint32_t length);

}  // namespace internal

}  // namespace sim
