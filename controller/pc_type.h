// The PC type tests: each reads the controller's PC type code once and keeps its answer.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

enum PcTypeCodeValue : uint8_t {
  kPcEx41 = 14,
  kPcVp41 = 15,
  kPcEx52 = 16,
  kPcVp52 = 17,
  kPcEx64 = 18,
  kPcVp64 = 19,
  kPcEx53 = 20,
  kPcVp53 = 21,
  kPcEm64 = 22,
  kPcVp47 = 23,
  kPcVp20 = 24,
};

// The service set never recognises a VP20; start-up sets this once from its feature set.
void ConfigurePcTypeTests(const FeatureSet& features);

// Lets every test ask the controller again. For tests that change the simulated PC between
// cases; the programs never forget within a run.
void ForgetPcTypeAnswers();

bool IsEx41();
bool IsVp41();
bool IsEx52();
bool IsVp52();
bool IsEx64();
bool IsVp64();
bool IsEx53();
bool IsVp53();
bool IsEm64();
bool IsVp47();
bool IsVp20();

// "PC is " and the model text of the first test that answers yes, in the set's order.
void PrintPcType(const FeatureSet& features);

}  // namespace drux
