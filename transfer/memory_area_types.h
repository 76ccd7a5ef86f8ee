// The plain memory-area data types: the complete controller flash (FLASH), the system data
// (SYS, in its own store) and the tagged areas in the flash (SYS2, SYS3, USER). Each handler
// returns an exit code; a missing file name is asked for (or refused) through PromptFileName.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int ShowFlashData();
int SaveFlashData(const FeatureSet& features, const char* fileName, uint8_t verify,
                  uint8_t assumeYes);
// Asks before it overwrites the flash.
int UpdateFlashData(const FeatureSet& features, const char* fileName, uint8_t verify,
                    uint8_t assumeYes);

// number: 1 system data, 2 and 3 the 2nd and 3rd system data.
int ShowSystemData(uint8_t number);
int SaveSystemData(const FeatureSet& features, uint8_t number, const char* fileName, uint8_t verify,
                   uint8_t assumeYes);
int UpdateSystemData(const FeatureSet& features, uint8_t number, const char* fileName,
                     uint8_t verify);
int DeleteSystemData(uint8_t number, uint8_t assumeYes);

int ShowUserData();
int SaveUserData(const FeatureSet& features, const char* fileName, uint8_t verify,
                 uint8_t assumeYes);
int UpdateUserData(const FeatureSet& features, const char* fileName, uint8_t verify);
int DeleteUserData(uint8_t assumeYes);

}  // namespace drux
