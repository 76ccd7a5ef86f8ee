// Where the memory-area data types live: the controller flash of each PC type, the tagged areas
// inside it, the system data store, and the steps their handlers share. Used by transfer/ and
// its tests only.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux::memory_area {

// Names in the messages: the Info heading uses the title, the step lines the name.
struct AreaTexts {
  const char* title;
  const char* name;
};

// All areas of the controller flash are reached with target 0, device 0.
inline constexpr uint32_t kFlashTarget = 0;
inline constexpr uint32_t kFlashDevice = 0;

struct FlashGeometry {
  uint32_t command;    // 0xA0 moves 16-byte blocks, 0xE0 256-byte blocks
  uint32_t size;       // bytes
  uint32_t blockSize;  // bytes
  bool large;          // picks the tagged areas' bases
};
inline constexpr FlashGeometry kSmallFlash{0xA0, 0x400000, 16, false};
inline constexpr FlashGeometry kLargeFlash{0xE0, 0x1000000, 256, true};

// The flash of this PC, or nullptr when the memory-area data types are not supported on it.
const FlashGeometry* FlashOfThisPc();

// A tagged area begins with an information block (tag, data length, zeros); the data follows.
inline constexpr uint32_t kInfoBlockSize = 256;
inline constexpr uint32_t kTagLength = 4;
inline constexpr uint32_t kInfoLengthOffset = 4;

struct TaggedArea {
  char tag[kTagLength];  // no terminator
  AreaTexts texts;
  uint32_t smallFlashBase;
  uint32_t largeFlashBase;
  uint32_t maxLength;  // data bytes behind the information block
};

// Back to back up to the end of the small flash, or up to 0xA00000 in the large one.
inline constexpr TaggedArea kSystemData2{
    {'S', 'Y', 'S', '2'}, {"2nd system data", "2nd system data"}, 0x340000, 0x940000, 0x9FF00};
inline constexpr TaggedArea kSystemData3{
    {'S', 'Y', 'S', '3'}, {"3rd system data", "3rd system data"}, 0x3E0000, 0x9E0000, 0xFF00};
inline constexpr TaggedArea kUserData{
    {'U', 'S', 'E', 'R'}, {"User data", "user data"}, 0x3F0000, 0x9F0000, 0xFF00};

inline constexpr uint32_t TaggedAreaBase(const TaggedArea& area, const FlashGeometry& flash) {
  return flash.large ? area.largeFlashBase : area.smallFlashBase;
}

int ShowTaggedArea(const TaggedArea& area);
int SaveTaggedArea(const FeatureSet& features, const TaggedArea& area, const char* fileName,
                   uint8_t verify, uint8_t assumeYes);
// A failed transfer leaves the area marked as empty.
int UpdateTaggedArea(const FeatureSet& features, const TaggedArea& area, const char* fileName,
                     uint8_t verify);
int DeleteTaggedArea(const TaggedArea& area, uint8_t assumeYes);

// The system data store (command 0x67, 16-byte blocks): a 16-byte information block with the
// data length (0xFFFFFFFF: no data), the data from byte 16.
inline constexpr uint32_t kSystemDataCommand = 0x67;
inline constexpr uint32_t kSystemDataInfoSize = 16;
inline constexpr uint32_t kSystemDataStart = 16;
inline constexpr uint32_t kNoSystemData = 0xFFFFFFFF;
inline constexpr AreaTexts kSystemDataTexts{"System data", "system data"};

// Largest system data of this PC; 0 where the PC has no system data.
uint32_t SystemDataLimitOfThisPc();

// ---- Steps the handlers share ----

// "ERROR: The data type is not supported on this PC." and 15.
int ReportNotSupported();

// Check file before an update: prints the check line and the file's length. maximum 0 means
// that the PC does not support the data type (15). An empty file passes only with
// emptyAllowed. 0 with the length, 2 (open), 5 (size or seek) or 15.
int CheckAreaFile(const AreaTexts& texts, const char* fileName, uint32_t maximum, bool emptyAllowed,
                  uint32_t* length);

// Prints the stored length; 0, or 9 when it is 0 or above the maximum.
int CheckStoredLength(uint32_t length, uint32_t maximum);

// The lines that open the actions and steps.
void PrintInfoHeading(const AreaTexts& texts);
void PrintCheckDataLine(const AreaTexts& texts);
// "Save ...", "Update ..." or "Delete ..." with the name.
void PrintActionLine(const char* action, const AreaTexts& texts);
// The file of a save (write) or an update; nullptr when there is none to use.
const char* DataFileName(const FeatureSet& features, const char* fileName, bool write,
                         uint8_t assumeYes);
// Asks before a deletion: true to go on.
bool ConfirmDelete(uint8_t assumeYes);
// "ERROR: Can't read data: ..." / "ERROR: Can't write data: ..." and 6.
int ReportReadFailure(int status, uint8_t errorByte);
int ReportWriteFailure(int status, uint8_t errorByte);

// Little-endian length field of an information block.
uint32_t StoredLength(const uint8_t* field);
void PutStoredLength(uint8_t* field, uint32_t length);

}  // namespace drux::memory_area
