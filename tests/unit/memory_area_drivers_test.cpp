// The action drivers on the memory-area data types: every cell of SYS, SYS2, SYS3, FLASH and
// USER reaches its handler in the feature sets that have it, with the driver's closing line,
// on the default EX64 (no system data, erased tagged areas).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/service_request.h"
#include "frontend/action_drivers.h"
#include "tests/unit/memory_area_test_support.h"

namespace drux::testing {
namespace {

const std::string kNotSupported = "ERROR: The data type is not supported on this PC.\n";
const std::string kAskName = "Enter a data filename or nothing to exit: ";
const std::string kNoName = "ERROR: Can't determine data file name automatically.\n";
const std::string kAskDelete = "Do you really want to delete (y/n): ";

struct DriverCase {
  uint32_t action;
  uint32_t dataType;
  bool fullSetOnly;
  std::string input;       // typed answers (full set: also the empty file name)
  std::string fullOut;     // what the full set prints
  std::string serviceOut;  // what the service set prints (USER only)
  std::string err;
  int result;
};

// Without a file name: the full set asks (an empty answer ends the action with 5), the service
// set says that it cannot pick one.
const std::vector<DriverCase> kCells = {
    {kActionInfo, kDataSystem, true, "", "\n-- System data --\n\nCheck system data ...\n\n", "",
     kNotSupported, 15},
    {kActionInfo, kDataSystem2, true, "",
     "\n-- 2nd system data --\n\nCheck 2nd system data ...\nNo data available.\n\n", "", "", 12},
    {kActionInfo, kDataSystem3, true, "",
     "\n-- 3rd system data --\n\nCheck 3rd system data ...\nNo data available.\n\n", "", "", 12},
    {kActionInfo, kDataFlash, true, "",
     "\n-- Flash data --\n\nCheck Flash data ...\nData has 16777216 bytes\n\n", "", "", 0},
    {kActionInfo, kDataUser, false, "",
     "\n-- User data --\n\nCheck user data ...\nNo data available.\n\n",
     "\n-- User data --\n\nCheck user data ...\nNo data available.\n\n", "", 12},
    {kActionSave, kDataSystem, true, "\n", "Save system data ...\n" + kAskName, "", "", 5},
    {kActionSave, kDataSystem2, true, "\n", "Save 2nd system data ...\n" + kAskName, "", "", 5},
    {kActionSave, kDataSystem3, true, "\n", "Save 3rd system data ...\n" + kAskName, "", "", 5},
    {kActionSave, kDataFlash, true, "\n", "Save Flash data ...\n" + kAskName, "", "", 5},
    {kActionSave, kDataUser, false, "\n", "Save user data ...\n" + kAskName,
     "Save user data ...\n" + kNoName, "", 5},
    {kActionUpdate, kDataSystem, true, "\n", "Update system data ...\n" + kAskName, "", "", 5},
    {kActionUpdate, kDataSystem2, true, "\n", "Update 2nd system data ...\n" + kAskName, "", "", 5},
    {kActionUpdate, kDataSystem3, true, "\n", "Update 3rd system data ...\n" + kAskName, "", "", 5},
    {kActionUpdate, kDataFlash, true, "\n", "Update Flash data ...\n" + kAskName, "", "", 5},
    {kActionUpdate, kDataUser, false, "\n", "Update user data ...\n" + kAskName,
     "Update user data ...\n" + kNoName, "", 5},
    {kActionDelete, kDataSystem, true, "y\n", "Delete system data ...\n" + kAskDelete, "",
     kNotSupported, 15},
    {kActionDelete, kDataSystem2, true, "y\n",
     "Delete 2nd system data ...\n" + kAskDelete + "Delete finished.\n", "", "", 0},
    {kActionDelete, kDataSystem3, true, "n\n", "Delete 3rd system data ...\n" + kAskDelete, "", "",
     7},
    {kActionDelete, kDataUser, false, "y\n",
     "Delete user data ...\n" + kAskDelete + "Delete finished.\n",
     "Delete user data ...\n" + kAskDelete + "Delete finished.\n", "", 0},
};

int RunCell(const FeatureSet& features, uint32_t action, uint32_t dataType, const char* file) {
  switch (action) {
    case kActionInfo:
      return RunInfo(features, dataType, file, kNoPanel, kNoModule);
    case kActionSave:
      return RunSave(features, dataType, file, kNoPanel, kNoModule, 1, 0);
    case kActionUpdate:
      return RunUpdate(features, dataType, file, kNoPanel, kNoModule, 1, 0);
    default:
      return RunDelete(features, dataType, kNoPanel, kNoModule, 0);
  }
}

class MemoryAreaDrivers : public MemoryAreaTest {};

TEST_F(MemoryAreaDrivers, EveryCellReachesItsHandler) {
  for (const DriverCase& c : kCells) {
    for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
      if (c.fullSetOnly && !features->full) {
        continue;
      }
      std::string label = std::to_string(c.action) + "/" + std::to_string(c.dataType) +
                          (features->full ? " full" : " service");
      StartPc("EX64", *features);
      if (features->full) {
        Feed(c.input);
      } else {
        Feed(c.action == kActionDelete ? c.input : "");
      }
      CapturedOutput output =
          CaptureOutput([&] { return RunCell(*features, c.action, c.dataType, nullptr); });
      EXPECT_EQ(output.result, c.result) << label;
      EXPECT_EQ(output.out, features->full ? c.fullOut : c.serviceOut) << label;
      EXPECT_EQ(output.err, c.err) << label;
    }
  }
}

// With a file the drivers pass it on and close with their finished line.
TEST_F(MemoryAreaDrivers, SaveAndUpdateFinish) {
  const std::string file = Path("user.bin");
  const Bytes data = Pattern(77, 5);
  WriteBytes(file, data);
  CapturedOutput update = CaptureOutput(
      [&] { return RunCell(kServiceFeatureSet, kActionUpdate, kDataUser, file.c_str()); });
  EXPECT_EQ(update.result, 0) << update.err;
  EXPECT_EQ(update.out.substr(update.out.size() - 17), "Update finished.\n");

  const std::string copy = Path("copy.bin");
  CapturedOutput save = CaptureOutput(
      [&] { return RunCell(kServiceFeatureSet, kActionSave, kDataUser, copy.c_str()); });
  EXPECT_EQ(save.result, 0) << save.err;
  EXPECT_EQ(save.out.substr(save.out.size() - 15), "Save finished.\n");
  EXPECT_EQ(ReadBytes(copy), data);
}

}  // namespace
}  // namespace drux::testing
