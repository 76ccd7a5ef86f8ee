// Commands 0x65 (PC module) and 0x75 (module of the panel selected with 0x7F): statistics
// records of a module (read, device = module). Address and target pick the record:
//   0x100 target 0 / 1 / 3: power-on / backlight-on / on-battery
//                           (8 bytes: time in quarter hours, cycles)
//   0x000 target s (0-3):   temperature maximum of sensor s
//                           (10 bytes: log time, alarm time, temperature word)
//   0x001 target s (0-3):   temperature minimum of sensor s (as the maximum)
//   0x200 target f (0-3):   fan f (16 bytes: running time, cycles, too-slow time, alarm time)
// All fields little-endian. A module that is not fitted or a record that it does not have
// answers 0x85; any other address or target 0x83.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint16_t kAddressTemperatureMaximum = 0x000;
constexpr uint16_t kAddressTemperatureMinimum = 0x001;
constexpr uint16_t kAddressTimes = 0x100;
constexpr uint16_t kAddressFans = 0x200;

struct Reply {
  bool known = false;    // address and target name a record
  bool present = false;  // the module has it
  uint8_t bytes[16] = {};
  uint32_t size = 0;
};

void PutTime(Reply& reply, const TimeRecord& record) {
  reply.known = true;
  reply.present = record.present;
  PutWord32(reply.bytes, record.quarterHours);
  PutWord32(reply.bytes + 4, record.cycles);
  reply.size = 8;
}

void PutTemperature(Reply& reply, const TemperatureRecord& record) {
  reply.known = true;
  reply.present = record.present;
  PutWord32(reply.bytes, record.logTime);
  PutWord32(reply.bytes + 4, record.alarmTime);
  PutWord16(reply.bytes + 8, record.word);
  reply.size = 10;
}

void PutFan(Reply& reply, const FanRecord& record) {
  reply.known = true;
  reply.present = record.present;
  PutWord32(reply.bytes, record.runningTime);
  PutWord32(reply.bytes + 4, record.cycles);
  PutWord32(reply.bytes + 8, record.tooSlowTime);
  PutWord32(reply.bytes + 12, record.alarmTime);
  reply.size = 16;
}

Reply RecordOf(const ModuleStatistics& statistics, uint16_t address, uint8_t target) {
  Reply reply;
  switch (address) {
    case kAddressTimes:
      if (target == 0) {
        PutTime(reply, statistics.powerOn);
      } else if (target == 1) {
        PutTime(reply, statistics.backlightOn);
      } else if (target == 3) {
        PutTime(reply, statistics.onBattery);
      }
      break;
    case kAddressTemperatureMaximum:
    case kAddressTemperatureMinimum:
      if (target < kTemperatureSensors) {
        PutTemperature(reply, address == kAddressTemperatureMaximum
                                  ? statistics.temperatureMax[target]
                                  : statistics.temperatureMin[target]);
      }
      break;
    case kAddressFans:
      if (target < kFans) {
        PutFan(reply, statistics.fans[target]);
      }
      break;
    default:
      break;
  }
  return reply;
}

uint8_t RunRecord(Machine& machine, CommandCall& call, const ModuleConfig& module) {
  Reply reply = RecordOf(module.statistics, call.address, call.target);
  if (!reply.known) {
    return kErrorInvalidParameter;
  }
  if (!module.fitted || !reply.present) {
    return kErrorDeviceMissing;
  }
  return TransferPayload(machine, call, reply.bytes, reply.size);
}

}  // namespace

uint8_t RunModuleStatistics(Machine& machine, CommandCall& call) {
  if (!call.read) {
    return kErrorInvalidParameter;
  }
  return RunRecord(machine, call, machine.config.modules[call.device]);
}

uint8_t RunPanelModuleStatistics(Machine& machine, CommandCall& call) {
  if (!call.read) {
    return kErrorInvalidParameter;
  }
  const ModuleConfig* module = nullptr;
  uint8_t error = SelectedPanelModule(machine, call.device, &module);
  if (error != kErrorNone) {
    return error;
  }
  return RunRecord(machine, call, *module);
}

}  // namespace sim::internal
