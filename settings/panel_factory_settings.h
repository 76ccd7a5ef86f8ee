// Factory settings of a panel itself (FSET with a panel and no module): the display block and,
// on a panel with modules, the extended record behind it, in the panel's data (command 0x20,
// target 4).
#pragma once

#include <cstddef>
#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

inline constexpr uint32_t kCommandPanelData = 0x20;
inline constexpr uint32_t kPanelSettingsTarget = 4;
// A panel with modules keeps up to this much behind its display block; other panels nothing.
inline constexpr uint32_t kExtendedRecordSize = 1792;
inline constexpr uint32_t kPanelSettingsWithModulesSize = 2048;

int ShowPanelFactorySettings(const FeatureSet& features, int32_t panel);
int UpdatePanelFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                               uint8_t verify);
int SavePanelFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                             uint8_t verify, uint8_t yes);

// Check and show of a display block. fileHint adds the note that a failed internal-data sum may
// mean a PC's settings file. deviceId and version (byte 254) may be null. Exit code 0 or 9.
int CheckDisplayBlock(const uint8_t* block, bool fileHint, uint32_t* deviceId, uint32_t* version);

// Check of the extended record (a buffer of kExtendedRecordSize bytes, of which the first
// `length` came from the file) and its identity against the display block; differences are
// shown, not refused. A static length beyond `length` is refused. Exit code 0, 9 or 12.
int CheckExtendedRecord(const uint8_t* record, size_t length, const uint8_t* displayBlock);

// File check before an update; withModules allows the extended record. Exit code 0, 2, 3, 5, 9
// or 12.
int CheckPanelSettingsFile(const char* fileName, bool withModules);
// Reads and checks the panel's display block. Exit code 0, 6 or 9.
int CheckPanelSettingsData(int32_t panel, uint32_t* deviceId, uint32_t* version);

// The built-in display of a panel PC has no factory settings of its own: prints the notice.
bool IsBuiltInDisplayWithNotice(int32_t panel);

}  // namespace drux
