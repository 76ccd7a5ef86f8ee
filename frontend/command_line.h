// The program's arguments into a ServiceRequest.
#pragma once

#include "controller/feature_set.h"
#include "controller/service_request.h"

namespace drux {

// 1 = accepted, 0 = rejected (the short help and an error line have been printed).
// Options ? and h print help and end the program with 0.
int ParseCommandLine(const FeatureSet& features, int argc, char** argv, ServiceRequest* request);
int ParseOptions(const FeatureSet& features, const char* argument, ServiceRequest* request);

// Action and data type keywords.
uint32_t ActionFromKeyword(const char* text);  // kActionNone when unknown
uint32_t DataTypeFromKeyword(const FeatureSet& features, const char* text);

}  // namespace drux
