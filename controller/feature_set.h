// The two feature sets built from one code base. Each program's entry hands its set down; code
// that behaves differently asks the set, never the build.
#pragma once

namespace drux {

struct FeatureSet {
  bool full;                // full (administrator's) feature set
  const char* programName;  // name in the syntax line and the examples
  const char* version;      // version text before the copyright notice
  bool recognisesVp20;      // the service set treats a VP20 as an unsupported type
};

inline constexpr FeatureSet kServiceFeatureSet{false, "DRUXSVC", "Version: 19.5.2", false};
inline constexpr FeatureSet kFullFeatureSet{true, "DRUXSVCADMIN", "Version: 19.5 FSET Update",
                                            true};

}  // namespace drux
