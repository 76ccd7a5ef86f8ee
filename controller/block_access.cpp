// Memory areas moved block by block, one command per block.
#include "controller/block_access.h"

#include "controller/command.h"
#include "platform/platform.h"

namespace drux {

namespace {

constexpr uint32_t kSmallBlock = 16;
constexpr uint32_t kLargeBlock = 256;
// Block indices wider than the 14-bit address field raise the command code.
constexpr int kAddressBits = 14;
constexpr uint32_t kBlockAddressMask = (1u << kAddressBits) - 1;
// The indirect data register always moves one small block.
constexpr uint32_t kIndirectBlockSize = 16;
constexpr uint16_t kPanelFlashCommand = 0x20;
constexpr uint16_t kPanelFlashTarget = 3;

enum class Direction { Read, Write };

// One command in the area's direction; the buffer is the caller's, read or written.
int TransferCommand(Direction direction, uint32_t code, uint32_t address, const MemoryArea& area,
                    uint8_t* buffer, uint32_t size, uint8_t* errorByte) {
  if (direction == Direction::Read) {
    return ReadCommand(code, address, area.device, area.target, buffer, size, errorByte);
  }
  return WriteCommand(code, address, area.device, area.target, buffer, size, errorByte);
}

// Large areas: the block index goes to one register, the block moves through another.
// No retry here: a repeated index write could address the wrong block on a busy device.
int TransferIndirectBlock(Direction direction, const MemoryArea& area, uint32_t index,
                          uint8_t* buffer, uint8_t* errorByte) {
  const uint8_t indexBytes[4] = {uint8_t(index), uint8_t(index >> 8), uint8_t(index >> 16),
                                 uint8_t(index >> 24)};
  const int status = WriteCommand(area.command, kIndirectIndexRegister, area.device, area.target,
                                  indexBytes, sizeof indexBytes, errorByte);
  if (status != kStatusOk) {
    return status;
  }
  return TransferCommand(direction, area.command, kIndirectDataRegister, area, buffer,
                         kIndirectBlockSize, errorByte);
}

// A busy device gets up to kBusyAttempts tries; every other failure ends at once.
int TransferDirectBlock(Direction direction, const MemoryArea& area, uint32_t index,
                        uint32_t blockSize, uint8_t* buffer, uint8_t* errorByte) {
  const uint32_t code = area.command + (index >> kAddressBits);
  const uint32_t address = index & kBlockAddressMask;
  int status = kStatusOk;
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    status = TransferCommand(direction, code, address, area, buffer, blockSize, errorByte);
    if (status != kStatusFailed || *errorByte != kErrorDeviceBusy) {
      break;
    }
  }
  return status;
}

// The panel flash (command 0x20, target 3) keeps its indirect path's two registers at the
// block addresses 0x3FF1 and 0x3FF2: a direct command there would hit a register, not the
// block, so those two blocks take the indirect path.
bool HitsIndirectRegister(const MemoryArea& area, uint32_t index, uint32_t blockSize) {
  if (area.command != kPanelFlashCommand || area.target != kPanelFlashTarget ||
      blockSize != kIndirectBlockSize || (index >> kAddressBits) != 0) {
    return false;
  }
  return index == kIndirectIndexRegister || index == kIndirectDataRegister;
}

int TransferBlock(Direction direction, const MemoryArea& area, uint32_t index, uint32_t blockSize,
                  uint8_t* buffer, uint8_t* errorByte) {
  if (area.indirect != 0 || HitsIndirectRegister(area, index, blockSize)) {
    return TransferIndirectBlock(direction, area, index, buffer, errorByte);
  }
  return TransferDirectBlock(direction, area, index, blockSize, buffer, errorByte);
}

int TransferArea(Direction direction, const MemoryArea& area, uint8_t* buffer, uint8_t* errorByte) {
  const uint32_t blockSize = area.largeBlocks != 0 ? kLargeBlock : kSmallBlock;
  if (area.start % blockSize != 0) {
    platform::PrintError("ERROR: Invalid address 0x%lx (must be multiple of %d).\n",
                         static_cast<unsigned long>(area.start), int(blockSize));
    return kStatusInvalidParameter;
  }
  if (area.size % blockSize != 0) {
    platform::PrintError("ERROR: Invalid size %luh (must be multiple of %d).\n",
                         static_cast<unsigned long>(area.size), int(blockSize));
    return kStatusInvalidParameter;
  }
  uint8_t ignoredErrorByte = 0;
  if (errorByte == nullptr) {
    errorByte = &ignoredErrorByte;
  }
  uint32_t index = area.start / blockSize;
  for (uint32_t count = area.size / blockSize; count > 0; --count) {
    const int status = TransferBlock(direction, area, index, blockSize, buffer, errorByte);
    if (status != kStatusOk) {
      return status;
    }
    ++index;
    buffer += blockSize;
  }
  return kStatusOk;
}

}  // namespace

int ReadArea(const MemoryArea& area, uint8_t* buffer, uint8_t* errorByte) {
  return TransferArea(Direction::Read, area, buffer, errorByte);
}

int WriteArea(const MemoryArea& area, const uint8_t* buffer, uint8_t* errorByte) {
  // The write path only reads the buffer; one walker serves both directions.
  return TransferArea(Direction::Write, area, const_cast<uint8_t*>(buffer), errorByte);
}

}  // namespace drux
