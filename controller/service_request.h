// One request: one action on one data type for one target.
#pragma once

#include <cstdint>

namespace drux {

enum ActionCode : uint32_t {
  kActionNone = 0,
  kActionInfo = 1,
  kActionSave = 2,
  kActionUpdate = 3,
  kActionDelete = 4,
  kActionChange = 5,
};

// Data types, numbered as in the full feature set. The service set uses the same numbers for
// the types it has; the others do not exist there (the parser rejects their keywords).
enum DataTypeCode : uint32_t {
  kDataNone = 0,
  kDataAll = 1,
  kDataLinkBootloader = 2,
  kDataLink = 3,
  kDataLinkImageFile = 4,
  kDataConverter = 5,
  kDataKeyConfiguration = 6,
  kDataFactorySettings = 7,
  kDataStatistics = 8,
  kDataUserSerialId = 9,
  kDataBiosSettings = 10,
  kDataDruxFirmware = 11,
  kDataFanFactorySettings = 12,
  kDataFan2FactorySettings = 13,
  kDataSystem = 14,
  kDataSystem2 = 15,
  kDataSystem3 = 16,
  kDataFlash = 17,
  kDataUser = 18,
  kDataHdbt = 19,
};
inline constexpr uint32_t kDataTypeCount = 19;

inline constexpr int32_t kNoPanel = -1;  // the PC itself
inline constexpr int32_t kNoModule = -1;
inline constexpr int32_t kHighestTargetNumber = 15;

struct ServiceRequest {
  uint32_t action = kActionNone;
  uint32_t dataType = kDataNone;
  const char* fileName = nullptr;  // file name or setting; points into the argument vector
  int32_t panel = kNoPanel;
  int32_t module = kNoModule;
  bool reboot = false;
  bool verify = true;
  bool yes = false;
};

}  // namespace drux
