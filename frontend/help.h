// Short and long help, and the pager of the long help.
#pragma once

#include "controller/feature_set.h"

namespace drux {

// The maker's notice after the version text in the banner and in both helps.
inline constexpr const char* kCopyrightNotice = " (c) DRUX service utilities authors";

// The supported PC models, panel types and panel link generations in the long help.
inline constexpr const char* kSupportedPcModels =
    "          PC models: EX41, EX52, EX53, EX64, EM64, VP20, VP41, VP47, VP52, VP53, VP64\n";
inline constexpr const char* kSupportedPanelTypes =
    "          Panel types: Teleo Panel with link module, KVN converter or HDBaseT module\n";
inline constexpr const char* kSupportedLinkGenerations =
    "          Panel links: KVN 1st and 2nd generation, KVN4 (HDBaseT)\n";

void PrintVersionLine(const FeatureSet& features);
void ShortHelp(const FeatureSet& features);
void LongHelp(const FeatureSet& features);

// Prints one line and counts it; after every 30th line asks ContinueOrQuit, and after a quit
// prints nothing more for the rest of the run.
void PagedPrint(const char* format, const char* argument);
// true = continue, false = quit. End of input answers continue.
bool ContinueOrQuit();

}  // namespace drux
