// Shared set-up of the factory-settings tests: a simulated PC in memory, records written into
// its module EEPROMs, and the text a handler prints on both streams.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/pc_type.h"
#include "settings/compatibility_switches.h"
#include "sim/devices/factory_settings_image.h"
#include "sim/sim.h"
#include "tests/support/captured_output.h"
#include "tests/support/sim_settings.h"

namespace drux::testing {

using test::CapturedOutput;
using test::CaptureOutput;

// The default machine changed by druxsim-style settings; a fresh run of the program as far as
// the PC type answers and the compatibility switches go.
inline void StartPc(std::initializer_list<const char*> settings,
                    const FeatureSet& features = kFullFeatureSet) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  EXPECT_TRUE(test::ApplySettings(config, settings));
  sim::StartInMemory(config);
  sim::ClearFaults();
  sim::ClearLog();
  ConfigurePcTypeTests(features);
  ForgetPcTypeAnswers();
  ResetCompatibilitySwitches();
}

// The identity that most tests give their module: one of the devices the Change corrects.
// The settings applied to the machine that runs, as a change between two program runs; the
// machine stays as it was when one is refused.
inline bool ChangeRunningPc(const std::vector<const char*>& settings) {
  sim::MachineConfig config = sim::Config();
  if (!test::ApplySettings(config, settings)) {
    return false;
  }
  sim::UpdateConfig(config);
  return true;
}

inline sim::FactoryRecordFields SampleFields() {
  sim::FactoryRecordFields fields;
  fields.deviceId = 0xF0BD;
  fields.compatibilityId = 0x0102;
  fields.parentDeviceId = 0x1234;
  fields.parentCompatibilityId = 0x0304;
  sim::SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision, "B0");
  sim::SetRecordText(fields.serialNumber, sizeof fields.serialNumber, "SN123456789");
  sim::SetRecordText(fields.modelNumber, sizeof fields.modelNumber, "5PC640.SX00-00");
  fields.version = 0x15;
  return fields;
}

inline std::vector<uint8_t> RecordBytes(const sim::FactoryRecordFields& fields,
                                        size_t capacity = 2048) {
  std::vector<uint8_t> bytes(capacity);
  bytes.resize(sim::BuildFactoryRecord(fields, bytes.data(), bytes.size()));
  return bytes;
}

inline sim::Area SettingsArea(int panel) {
  return panel < 0 ? sim::Area::ModuleSettings : sim::Area::PanelModuleSettings;
}

// Bytes of a module EEPROM (device) of the PC (panel -1) or of a panel.
inline void PutDeviceBytes(int device, uint32_t offset, const std::vector<uint8_t>& bytes,
                           int panel = -1) {
  ASSERT_TRUE(sim::WriteAreaBytes(SettingsArea(panel), device * sim::kSettingsDeviceSize + offset,
                                  bytes.data(), bytes.size(), panel < 0 ? 0 : panel));
}

inline std::vector<uint8_t> DeviceBytes(int device, uint32_t offset, size_t length,
                                        int panel = -1) {
  std::vector<uint8_t> bytes(length);
  EXPECT_TRUE(sim::ReadAreaBytes(SettingsArea(panel), device * sim::kSettingsDeviceSize + offset,
                                 bytes.data(), length, panel < 0 ? 0 : panel));
  return bytes;
}

inline std::vector<uint8_t> DisplayBlockBytes(const sim::FactoryRecordFields& fields) {
  std::vector<uint8_t> block(sim::kDisplayBlockBytes);
  sim::BuildDisplayBlock(fields, block.data());
  return block;
}

// Write commands of the factory-settings EEPROMs (0x63, 0x73) the controller executed.
inline size_t SettingsWrites() {
  size_t writes = 0;
  for (size_t i = 0; i < sim::LogSize(); ++i) {
    sim::LogEntry entry = sim::LogAt(i);
    writes += !entry.read && (entry.code == 0x63 || entry.code == 0x73) ? 1 : 0;
  }
  return writes;
}

inline uint8_t ByteSum(const std::vector<uint8_t>& bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

}  // namespace drux::testing
