// The correction of the parent device ID of four known devices: the Change of druxsvcadmin.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

// Checks the record (erased, tag, limits, static checksum, FACT header), shows the device and
// parent device ID and sets the parent ID that the correction table gives the device. 0 when
// the record was changed (checksum renewed); 7 when nothing needs to change; 9 or 12 when the
// record is unusable. Nothing is changed unless the result is 0.
int CorrectParentDeviceId(uint8_t* record, size_t available);

}  // namespace drux
