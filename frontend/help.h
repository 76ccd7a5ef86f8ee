// Short and long help, and the pager of the long help.
#pragma once

#include "frontend/feature_set.h"

namespace drux {

// The maker's notice after the version text in the banner and in both helps.
inline constexpr const char* kCopyrightNotice = " (c) DRUX service utilities authors";

void PrintVersionLine(const FeatureSet& features);
void ShortHelp(const FeatureSet& features);
void LongHelp(const FeatureSet& features);

// Prints one line and counts it; after every 30th line asks ContinueOrQuit, and after a quit
// prints nothing more for the rest of the run.
void PagedPrint(const char* format, const char* argument);
// true = continue, false = quit. End of input answers continue.
bool ContinueOrQuit();

}  // namespace drux
