// Console progress of a transfer: a percentage that overwrites itself in place.
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// Steps smaller than this are not shown: each step costs a console flush.
constexpr int32_t kProgressStep = 5;
int32_t lastShownPercent = 0;

int32_t Percent(int32_t done, int32_t total) {
  if (total == 0) {
    return 0;
  }
  // 64 bits: done * 100 leaves 32 bits from about 21 MB on.
  return int32_t(int64_t(done) * 100 / total);
}

}  // namespace

void ShowProgress(int32_t done, int32_t total) {
  const int32_t percent = Percent(done, total);
  if (done == 0) {
    lastShownPercent = 0;
    platform::Print("  0%%");
    platform::Flush(platform::Stream::Out);
  } else if (done >= total) {
    platform::Print("\b\b\b\bDone\n");
  } else if (percent - lastShownPercent >= kProgressStep ||
             lastShownPercent - percent >= kProgressStep) {
    lastShownPercent = percent;
    platform::Print("\b\b\b\b%3d%%", int(percent));
    platform::Flush(platform::Stream::Out);
  }
}

}  // namespace drux
