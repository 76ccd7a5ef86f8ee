// The PC type tests: each reads the controller's PC type code once and keeps its answer.
#include "controller/pc_type.h"

#include <cstddef>

#include "controller/controller_info.h"
#include "platform/platform.h"

namespace drux {
namespace {

// One test's memory: whether it has asked the controller, and what it concluded.
struct CachedPcTest {
  bool computed;
  bool answer;
};

constexpr int kFirstPcCode = kPcEx41;
constexpr int kPcCodeCount = kPcVp20 - kPcEx41 + 1;

CachedPcTest cachedTests[kPcCodeCount] = {};
bool vp20Recognised = false;

bool CachedPcTypeTest(PcTypeCodeValue code) {
  CachedPcTest& test = cachedTests[code - kFirstPcCode];
  if (!test.computed) {
    test.answer = PcTypeCode() == code;
    test.computed = true;
  }
  return test.answer;
}

struct PcTypeText {
  PcTypeCodeValue code;
  const char* text;
};

// The order in which start-up names the PC; the first model that matches wins.
constexpr PcTypeText kServiceSetOrder[] = {
    {kPcEx41, "an EX41.\n"}, {kPcEx52, "an EX52.\n"}, {kPcEx53, "an EX53.\n"},
    {kPcEx64, "an EX64.\n"}, {kPcEm64, "an EM64.\n"}, {kPcVp20, "a VP20.\n"},
    {kPcVp41, "a VP41.\n"},  {kPcVp47, "a VP47.\n"},  {kPcVp52, "a VP52.\n"},
    {kPcVp53, "a VP53.\n"},  {kPcVp64, "a VP64.\n"},
};
constexpr PcTypeText kFullSetOrder[] = {
    {kPcEx64, "an EX64.\n"},
    {kPcVp64, "a VP64.\n"},
};

bool IsPcType(PcTypeCodeValue code) {
  switch (code) {
    case kPcEx41:
      return IsEx41();
    case kPcVp41:
      return IsVp41();
    case kPcEx52:
      return IsEx52();
    case kPcVp52:
      return IsVp52();
    case kPcEx64:
      return IsEx64();
    case kPcVp64:
      return IsVp64();
    case kPcEx53:
      return IsEx53();
    case kPcVp53:
      return IsVp53();
    case kPcEm64:
      return IsEm64();
    case kPcVp47:
      return IsVp47();
    case kPcVp20:
      return IsVp20();
  }
  return false;
}

template <size_t N>
const char* FirstMatchingText(const PcTypeText (&order)[N]) {
  for (const PcTypeText& entry : order) {
    if (IsPcType(entry.code)) {
      return entry.text;
    }
  }
  return "an unsupported type.\n";
}

}  // namespace

void ConfigurePcTypeTests(const FeatureSet& features) {
  vp20Recognised = features.recognisesVp20;
}

void ForgetPcTypeAnswers() {
  for (CachedPcTest& test : cachedTests) {
    test = CachedPcTest{};
  }
}

bool IsEx41() {
  return CachedPcTypeTest(kPcEx41);
}
bool IsVp41() {
  return CachedPcTypeTest(kPcVp41);
}
bool IsEx52() {
  return CachedPcTypeTest(kPcEx52);
}
bool IsVp52() {
  return CachedPcTypeTest(kPcVp52);
}
bool IsEx64() {
  return CachedPcTypeTest(kPcEx64);
}
bool IsVp64() {
  return CachedPcTypeTest(kPcVp64);
}
bool IsEx53() {
  return CachedPcTypeTest(kPcEx53);
}
bool IsVp53() {
  return CachedPcTypeTest(kPcVp53);
}
bool IsEm64() {
  return CachedPcTypeTest(kPcEm64);
}
bool IsVp47() {
  return CachedPcTypeTest(kPcVp47);
}
// The service set treats a VP20 like an unknown PC everywhere.
bool IsVp20() {
  return vp20Recognised && CachedPcTypeTest(kPcVp20);
}

void PrintPcType(const FeatureSet& features) {
  platform::Print("PC is ");
  platform::Print(
      "%s", features.full ? FirstMatchingText(kFullSetOrder) : FirstMatchingText(kServiceSetOrder));
}

}  // namespace drux
