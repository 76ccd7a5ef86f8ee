// The DRUX register block: ports, register fields and the register primitives.
#pragma once

#include <cstdint>

namespace drux {

// Register block, ports 0x4000-0x4193.
inline constexpr uint16_t kPortLargeWindow = 0x4000;  // 256 bytes
inline constexpr uint16_t kPortIdentification = 0x4100;
inline constexpr uint16_t kPortCapability = 0x4108;
inline constexpr uint16_t kPortCommandStatus = 0x4110;
inline constexpr uint16_t kPortCommandState = 0x4111;  // second byte of the status register
inline constexpr uint16_t kPortCommand = 0x4114;
inline constexpr uint16_t kPortSmallWindow = 0x4118;  // 16 bytes
inline constexpr uint16_t kPortSystemStatus = 0x4128;
inline constexpr uint16_t kPortUpdateCounter = 0x412C;
inline constexpr uint16_t kPortFeature = 0x4148;
inline constexpr uint16_t kPortPanelSelect = 0x415F;
inline constexpr uint16_t kPortPanelInfo = 0x4160;
inline constexpr uint16_t kPortPanelLink = 0x416C;
inline constexpr uint16_t kPortBiosSettings = 0x4190;
inline constexpr uint16_t kPortFirst = 0x4000;
inline constexpr uint16_t kPortLast = 0x4193;

inline constexpr uint32_t kSmallWindowSize = 16;
inline constexpr uint32_t kLargeWindowSize = 256;

// Command status register fields.
inline constexpr uint32_t kStatusErrorByteMask = 0x000000FF;
inline constexpr uint32_t kStatusStateMask = 0x00000700;
inline constexpr uint32_t kStatusLockBit = 0x00000800;
inline constexpr uint32_t kStatusHostBits = 0x00000FFF;  // cleared by the release
inline constexpr uint8_t kStateFinished = 1;
inline constexpr uint8_t kStateFailed = 3;

// Command word fields.
inline constexpr uint32_t kCommandAddressMask = 0x3FFF;
inline constexpr uint32_t kCommandReadFlag = 1u << 14;
inline constexpr int kCommandDeviceShift = 16;
inline constexpr int kCommandTargetShift = 20;
inline constexpr int kCommandCodeShift = 24;

// System status register fields.
inline constexpr uint32_t kSystemPcTypeMask = 0xFF;
inline constexpr uint32_t kSystemDruxHighArea = 1u << 8;
inline constexpr uint32_t kSystemLinkHighArea = 1u << 10;
inline constexpr uint32_t kSystemLinkCrcError = 1u << 12;
inline constexpr uint32_t kSystemDruxCrcError = 1u << 14;

inline constexpr uint32_t kCapabilityOnePanelChannel = 1u << 12;
inline constexpr uint32_t kFeatureKeyConfiguration = 1u << 16;
inline constexpr uint32_t kPanelLinkConnected = 1u << 1;

// Four 5-bit letters in bits 31-12 (value + 'A'), as in the identification register.
inline constexpr uint32_t EncodeIdLetters(char a, char b, char c, char d) {
  return (uint32_t(a - 'A') << 27) | (uint32_t(b - 'A') << 22) | (uint32_t(c - 'A') << 17) |
         (uint32_t(d - 'A') << 12);
}
inline constexpr char IdLetter(uint32_t word, int index) {
  return char('A' + ((word >> (27 - 5 * index)) & 0x1F));
}

// 32-bit registers are four byte accesses, lowest port first (little-endian).
uint32_t ReadRegister(uint16_t port);
void WriteRegister(uint16_t port, uint32_t value);
uint8_t ReadRegisterByte(uint16_t port);
void WriteRegisterByte(uint16_t port, uint8_t value);

}  // namespace drux
