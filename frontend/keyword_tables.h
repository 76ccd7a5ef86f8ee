// Keywords of the actions and data types, as the command line and the menus know them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "controller/service_request.h"

namespace drux {

struct ActionKeywords {
  uint32_t code;
  const char* letter;
  const char* word;
};

inline constexpr std::array<ActionKeywords, 5> kActionKeywords{{
    {kActionInfo, "I", "Info"},
    {kActionSave, "S", "Save"},
    {kActionUpdate, "U", "Update"},
    {kActionDelete, "D", "Delete"},
    {kActionChange, "C", "Change"},
}};

// One row per data type. The code is the same in both feature sets; the service set simply
// lacks the rows that are not marked for it. supportedActions holds the action letters that
// the drivers accept, as the help and the data type menu show them.
struct DataTypeKeywords {
  uint32_t code;
  const char* keyword;
  const char* longKeyword;  // the bracketed long form, or nullptr
  bool inServiceSet;
  const char* supportedActions;
  const char* helpText;
};

inline constexpr std::array<DataTypeKeywords, kDataTypeCount> kDataTypeKeywords{{
    {kDataAll, "ALL", nullptr, true, "I", "all below"},
    {kDataLinkBootloader, "LINKBLDR", nullptr, false, "SU", "link transmitter bootloader"},
    {kDataLink, "LINK", "LINKFPGA", true, "ISU", "link transmitter/receiver FPGA firmware"},
    {kDataLinkImageFile, "LINKIFILE", nullptr, true, "U", "link transmitter FPGA (complete)"},
    {kDataConverter, "CONV", "CONVFPGA", true, "ISU", "link converter FPGA firmware"},
    {kDataKeyConfiguration, "KCF", nullptr, true, "DISU", "key configuration"},
    {kDataFactorySettings, "FSET", nullptr, false, "CDISU", "factory settings"},
    {kDataStatistics, "STAT", nullptr, true, "I", "statistics values"},
    {kDataUserSerialId, "UID", nullptr, true, "CI", "user serial ID"},
    {kDataBiosSettings, "BIOSSET", nullptr, true, "CI", "BIOS settings"},
    {kDataDruxFirmware, "DRUX", "DRUXFW", true, "ISU", "DRUX firmware"},
    {kDataFanFactorySettings, "FANFSET", nullptr, true, "DIU", "fan unit factory settings"},
    {kDataFan2FactorySettings, "FAN2FSET", nullptr, true, "DIU",
     "2nd (bus) fan unit factory settings"},
    {kDataSystem, "SYS", "SYSTEM", false, "DISU", "system data"},
    {kDataSystem2, "SYS2", "SYSTEM2", false, "DISU", "2nd system data"},
    {kDataSystem3, "SYS3", "SYSTEM3", false, "DISU", "3rd system data"},
    {kDataFlash, "FLASH", nullptr, false, "ISU", "complete flash"},
    {kDataUser, "USER", nullptr, true, "DISU", "user data"},
    {kDataHdbt, "HDBT", "HDBTFW", true, "IU", "HDBaseT firmware"},
}};

// The row of a data type code, or nullptr for a code outside the table.
constexpr const DataTypeKeywords* FindDataTypeKeywords(uint32_t code) {
  for (const DataTypeKeywords& row : kDataTypeKeywords) {
    if (row.code == code) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace drux
