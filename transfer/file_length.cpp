// The length of an open file, taken by seeking to its end.
#include "controller/exit_codes.h"
#include "transfer/transfer_engine.h"

namespace drux {

int TakeFileLength(platform::File* file, long* length) {
  if (!platform::SeekFile(file, 0, platform::SeekOrigin::End)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  const long end = platform::TellFile(file);
  if (end < 0 || !platform::SeekFile(file, 0, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  *length = end;
  return kExitOk;
}

}  // namespace drux
