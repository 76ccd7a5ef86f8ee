// The PC's firmware takes the stored BIOS settings word over when the PC starts: the effective
// settings register 0x4190 then reports each option that the PC type has at its own bit
// positions. Register bits of options that the PC type lacks stay as they were.
#include "sim/core/machine.h"

namespace sim::internal {

namespace {

struct BitMove {
  uint8_t wordBit;
  uint8_t registerBit;
};

// Boot mode, TPM, UEFI-only boot and SATA mode of the EX41 and VP41.
constexpr BitMove kEx41Moves[] = {{10, 18}, {9, 17}, {11, 19}, {14, 22}, {0, 8}, {1, 9}};
// Boot mode, TPM and USB standby power of the later models.
constexpr BitMove kLaterModelMoves[] = {{2, 12}, {4, 10}, {5, 11}, {13, 21}};
// SATA mode of the EX64, VP64 and EM64.
constexpr BitMove kSataMoves[] = {{0, 8}, {1, 9}};
// Hypervisor and realtime environment of every PC.
constexpr BitMove kSharedMoves[] = {{12, 20}, {8, 16}};

template <size_t N>
void Move(const BitMove (&moves)[N], uint32_t word, uint32_t& effective) {
  for (const BitMove& move : moves) {
    uint32_t target = uint32_t(1) << move.registerBit;
    effective &= ~target;
    effective |= ((word >> move.wordBit) & 1) != 0 ? target : 0;
  }
}

}  // namespace

void ApplyBiosSettingsWord(Machine& machine) {
  MachineConfig& config = machine.config;
  if (!config.biosWordStored) {
    return;
  }
  uint32_t effective = config.biosRegister;
  switch (config.pcType) {
    case 14:  // EX41
    case 15:  // VP41
      Move(kEx41Moves, config.biosWord, effective);
      break;
    case 18:  // EX64
    case 19:  // VP64
    case 22:  // EM64
      Move(kSataMoves, config.biosWord, effective);
      Move(kLaterModelMoves, config.biosWord, effective);
      break;
    case 20:  // EX53
    case 21:  // VP53
    case 23:  // VP47
    case 24:  // VP20
      Move(kLaterModelMoves, config.biosWord, effective);
      break;
    default:
      break;
  }
  Move(kSharedMoves, config.biosWord, effective);
  if (effective != config.biosRegister) {
    config.biosRegister = effective;
    machine.configDirty = true;
  }
}

}  // namespace sim::internal
