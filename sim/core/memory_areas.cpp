// Memory areas of the model (controller flash, link transmitter flash, panel FPGA flash and
// display blocks): pages that are read from the area's file on first touch and written back
// at Persist when dirty. Missing file bytes read as erased flash (0xFF), except where the
// default machine keeps its factory contents.
#include <cstring>

#include "platform/format.h"
#include "sim/core/machine.h"

namespace sim {

namespace internal {

namespace {

constexpr uint32_t kMebibyte = 0x100000;
constexpr int kPanelFlashSlots = 2;
constexpr int kPanelDisplaySlots = 2 + kPanelChannels;
constexpr int kModuleSettingsSlot = 2 + 2 * kPanelChannels;
constexpr int kPanelModuleSettingsSlots = kModuleSettingsSlot + 1;
constexpr int kSystemDataSlot = kPanelModuleSettingsSlots + kPanelChannels;
constexpr int kKeyConfigurationSlot = kSystemDataSlot + 1;
constexpr int kPanelFpgaSlots = kKeyConfigurationSlot + 1;
constexpr int kPanelFpgaKeys = kPanelChannels * kPanelFpgaDevices;
// Information block and data of the largest system data, with room for the 256-byte padding
// that an update writes behind them.
constexpr uint32_t kSystemDataSize = 1024;
constexpr uint32_t kKeyConfigurationOneChannel = 0x10000;
constexpr uint32_t kKeyConfigurationSize = 0x40000;

uint32_t PageBytes(const AreaStore& store, uint32_t page) {
  uint32_t offset = page * kPageSize;
  uint32_t rest = store.size - offset;
  return rest < kPageSize ? rest : kPageSize;
}

Area SlotArea(int slot) {
  if (slot >= kPanelFpgaSlots) {
    return Area::PanelFpgaFlash;
  }
  if (slot == 0) {
    return Area::Flash;
  }
  if (slot == 1) {
    return Area::LinkFlash;
  }
  if (slot == kModuleSettingsSlot) {
    return Area::ModuleSettings;
  }
  if (slot == kSystemDataSlot) {
    return Area::SystemData;
  }
  if (slot == kKeyConfigurationSlot) {
    return Area::KeyConfiguration;
  }
  if (slot >= kPanelModuleSettingsSlots) {
    return Area::PanelModuleSettings;
  }
  return slot < kPanelDisplaySlots ? Area::PanelFlash : Area::PanelDisplay;
}

int SlotPanel(int slot) {
  if (slot >= kPanelFpgaSlots) {
    return slot - kPanelFpgaSlots;
  }
  if (slot == kSystemDataSlot || slot == kKeyConfigurationSlot) {
    return 0;
  }
  if (slot >= kPanelModuleSettingsSlots) {
    return slot - kPanelModuleSettingsSlots;
  }
  if (slot >= kPanelDisplaySlots && slot < kModuleSettingsSlot) {
    return slot - kPanelDisplaySlots;
  }
  return slot >= kPanelFlashSlots && slot < kPanelDisplaySlots ? slot - kPanelFlashSlots : 0;
}

void ReleaseIfAny(void* memory) {
  if (memory != nullptr) {
    Release(memory);
  }
}

bool SetUpStore(Machine& machine, int slot) {
  AreaStore& store = machine.areas[slot];
  if (store.size != 0) {
    return true;
  }
  uint32_t size = AreaSizeOf(machine.config, SlotArea(slot));
  uint32_t pageCount = (size + kPageSize - 1) / kPageSize;
  auto** pages = static_cast<uint8_t**>(Allocate(pageCount * sizeof(uint8_t*)));
  auto* dirty = static_cast<uint8_t*>(Allocate(pageCount));
  if (pages == nullptr || dirty == nullptr) {
    ReleaseIfAny(pages);
    ReleaseIfAny(dirty);
    return false;
  }
  std::memset(pages, 0, pageCount * sizeof(uint8_t*));
  std::memset(dirty, 0, pageCount);
  store.size = size;
  store.pageCount = pageCount;
  store.pages = pages;
  store.dirty = dirty;
  return true;
}

bool SlotPath(const Machine& machine, int slot, char* path, size_t capacity) {
  char name[40];
  return AreaFileName(slot, name, sizeof name) && MachinePath(machine, name, path, capacity);
}

// One area file stays open for reading between pages, so that a bulk transfer opens it once
// rather than once per page. Only one: the UEFI backend has few file handles, and the program
// needs its own.
struct AreaReader {
  int slot = -1;
  platform::File* file = nullptr;
};
AreaReader reader;

void CloseAreaReader() {
  if (reader.file != nullptr) {
    platform::CloseFile(reader.file);
  }
  reader = AreaReader{};
}

// The open file of the slot's area, or nullptr when there is none. Looks up its length at the
// first open.
platform::File* AreaFile(Machine& machine, int slot) {
  if (reader.slot == slot && reader.file != nullptr) {
    return reader.file;
  }
  CloseAreaReader();
  char path[kPathCapacity];
  AreaStore& store = machine.areas[slot];
  if (!SlotPath(machine, slot, path, sizeof path)) {
    return nullptr;
  }
  platform::File* file = platform::OpenFile(path, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    store.fileLength = 0;
    return nullptr;
  }
  if (store.fileLength < 0) {
    long length =
        platform::SeekFile(file, 0, platform::SeekOrigin::End) ? platform::TellFile(file) : 0;
    store.fileLength = length < 0 ? 0 : length;
  }
  reader = AreaReader{slot, file};
  return file;
}

void LoadPageFromFile(Machine& machine, int slot, uint32_t page, uint8_t* bytes, uint32_t length) {
  AreaStore& store = machine.areas[slot];
  long offset = long(page) * long(kPageSize);
  if (store.fileLength >= 0 && offset >= store.fileLength) {
    return;
  }
  platform::File* file = AreaFile(machine, slot);
  if (file == nullptr || offset >= store.fileLength) {
    return;
  }
  long available = store.fileLength - offset;
  size_t wanted = available < long(length) ? size_t(available) : length;
  if (platform::SeekFile(file, offset, platform::SeekOrigin::Begin)) {
    platform::ReadFile(file, bytes, wanted);
  }
}

uint8_t* Page(Machine& machine, int slot, uint32_t page) {
  AreaStore& store = machine.areas[slot];
  if (store.pages[page] != nullptr) {
    return store.pages[page];
  }
  uint32_t length = PageBytes(store, page);
  auto* bytes = static_cast<uint8_t*>(Allocate(length));
  if (bytes == nullptr) {
    return nullptr;
  }
  std::memset(bytes, 0xFF, length);
  if (machine.defaultContents) {
    FillDefaultContents(machine.config, SlotArea(slot), SlotPanel(slot), page * kPageSize, bytes,
                        length);
  }
  if (!machine.inMemory) {
    LoadPageFromFile(machine, slot, page, bytes, length);
  }
  store.pages[page] = bytes;
  return bytes;
}

// Walks the pages of a byte range; `toArea` copies into the area and marks pages dirty.
bool CopyPages(Machine& machine, Area area, int panel, uint32_t offset, uint8_t* outside,
               size_t length, bool toArea) {
  int slot = AreaSlot(area, panel);
  if (slot < 0 || !SetUpStore(machine, slot)) {
    return false;
  }
  AreaStore& store = machine.areas[slot];
  if (uint64_t(offset) + length > store.size) {
    return false;
  }
  while (length > 0) {
    uint32_t page = offset / kPageSize;
    uint32_t within = offset % kPageSize;
    uint32_t chunk = PageBytes(store, page) - within;
    if (chunk > length) {
      chunk = uint32_t(length);
    }
    uint8_t* bytes = Page(machine, slot, page);
    if (bytes == nullptr) {
      return false;
    }
    if (toArea) {
      // Unchanged bytes leave the page clean: a verify or a rewrite of the same image then
      // costs no write-back.
      if (std::memcmp(bytes + within, outside, chunk) != 0) {
        std::memcpy(bytes + within, outside, chunk);
        store.dirty[page] = 1;
      }
    } else {
      std::memcpy(outside, bytes + within, chunk);
    }
    outside += chunk;
    offset += chunk;
    length -= chunk;
  }
  return true;
}

bool FillErased(platform::File* file, long from, long to) {
  uint8_t erased[512];
  std::memset(erased, 0xFF, sizeof erased);
  if (!platform::SeekFile(file, from, platform::SeekOrigin::Begin)) {
    return false;
  }
  while (from < to) {
    size_t chunk = to - from < long(sizeof erased) ? size_t(to - from) : sizeof erased;
    if (platform::WriteFile(file, erased, chunk) != chunk) {
      return false;
    }
    from += long(chunk);
  }
  return true;
}

bool PersistStore(Machine& machine, int slot) {
  AreaStore& store = machine.areas[slot];
  bool anyDirty = false;
  for (uint32_t page = 0; page < store.pageCount && !anyDirty; ++page) {
    anyDirty = store.dirty[page] != 0;
  }
  if (!anyDirty) {
    return true;
  }
  char path[kPathCapacity];
  if (!SlotPath(machine, slot, path, sizeof path)) {
    return false;
  }
  platform::File* file = platform::OpenFile(path, platform::FileMode::ReadWriteBinary);
  if (file == nullptr) {
    file = platform::OpenFile(path, platform::FileMode::WriteBinary);
  }
  if (file == nullptr) {
    return false;
  }
  long length =
      platform::SeekFile(file, 0, platform::SeekOrigin::End) ? platform::TellFile(file) : -1;
  bool ok = length >= 0;
  for (uint32_t page = 0; ok && page < store.pageCount; ++page) {
    if (store.dirty[page] == 0) {
      continue;
    }
    long offset = long(page) * long(kPageSize);
    uint32_t bytes = PageBytes(store, page);
    // The file holds the area up to its highest written page; the gap before is erased.
    if (length < offset) {
      ok = FillErased(file, length, offset);
      length = offset;
    }
    ok = ok && platform::SeekFile(file, offset, platform::SeekOrigin::Begin) &&
         platform::WriteFile(file, store.pages[page], bytes) == bytes;
    if (ok) {
      store.dirty[page] = 0;
      if (length < offset + long(bytes)) {
        length = offset + long(bytes);
      }
    }
  }
  ok = platform::CloseFile(file) && ok;
  store.fileLength = ok ? length : -1;
  return ok;
}

void ReleaseStore(AreaStore& store) {
  for (uint32_t page = 0; page < store.pageCount; ++page) {
    ReleaseIfAny(store.pages[page]);
  }
  ReleaseIfAny(store.pages);
  ReleaseIfAny(store.dirty);
  store = AreaStore{};
}

}  // namespace

int AreaSlot(Area area, int panel) {
  switch (area) {
    case Area::Flash:
      return 0;
    case Area::LinkFlash:
      return 1;
    case Area::PanelFlash:
    case Area::PanelDisplay:
      if (panel < 0 || panel >= kPanelChannels) {
        return -1;
      }
      return (area == Area::PanelFlash ? kPanelFlashSlots : kPanelDisplaySlots) + panel;
    case Area::ModuleSettings:
      return kModuleSettingsSlot;
    case Area::PanelModuleSettings:
      if (panel < 0 || panel >= kPanelChannels) {
        return -1;
      }
      return kPanelModuleSettingsSlots + panel;
    case Area::SystemData:
      return kSystemDataSlot;
    case Area::KeyConfiguration:
      return kKeyConfigurationSlot;
    case Area::PanelFpgaFlash:
      if (panel < 0 || panel >= kPanelFpgaKeys) {
        return -1;
      }
      return kPanelFpgaSlots + panel;
  }
  return -1;
}

uint32_t AreaSizeOf(const MachineConfig& config, Area area) {
  switch (area) {
    case Area::Flash:
      return config.pcType >= 14 && config.pcType <= 17 ? 4 * kMebibyte : 16 * kMebibyte;
    case Area::PanelFlash:
      return 4 * kMebibyte;
    case Area::LinkFlash:
    case Area::PanelFpgaFlash:
      return 16 * kMebibyte;
    case Area::PanelDisplay:
      return 4096;
    case Area::ModuleSettings:
    case Area::PanelModuleSettings:
      return kSettingsDevices * kSettingsDeviceSize;
    case Area::SystemData:
      return kSystemDataSize;
    case Area::KeyConfiguration:
      return config.panelChannels == 1 ? kKeyConfigurationOneChannel : kKeyConfigurationSize;
  }
  return 0;
}

bool AreaFileName(int slot, char* buffer, size_t capacity) {
  if (slot == 0) {
    return platform::FormatString(buffer, capacity, "flash.bin") < capacity;
  }
  if (slot == 1) {
    return platform::FormatString(buffer, capacity, "linkflash.bin") < capacity;
  }
  if (slot >= kPanelFpgaSlots) {
    const int key = slot - kPanelFpgaSlots;
    return platform::FormatString(buffer, capacity, "panel%d-fpga%d.bin", key / kPanelFpgaDevices,
                                  key % kPanelFpgaDevices) < capacity;
  }
  if (slot < kPanelDisplaySlots) {
    return platform::FormatString(buffer, capacity, "panel%d-flash.bin", slot - kPanelFlashSlots) <
           capacity;
  }
  if (slot < kModuleSettingsSlot) {
    return platform::FormatString(buffer, capacity, "panel%d-display.bin",
                                  slot - kPanelDisplaySlots) < capacity;
  }
  if (slot == kModuleSettingsSlot) {
    return platform::FormatString(buffer, capacity, "fset.bin") < capacity;
  }
  if (slot == kSystemDataSlot) {
    return platform::FormatString(buffer, capacity, "sysdata.bin") < capacity;
  }
  if (slot == kKeyConfigurationSlot) {
    return platform::FormatString(buffer, capacity, "kcf.bin") < capacity;
  }
  if (slot < kSystemDataSlot) {
    return platform::FormatString(buffer, capacity, "panel%d-fset.bin",
                                  slot - kPanelModuleSettingsSlots) < capacity;
  }
  return false;
}

bool AreaCopyOut(Machine& machine, Area area, int panel, uint32_t offset, uint8_t* buffer,
                 size_t length) {
  return CopyPages(machine, area, panel, offset, buffer, length, false);
}

bool AreaCopyIn(Machine& machine, Area area, int panel, uint32_t offset, const uint8_t* data,
                size_t length) {
  return CopyPages(machine, area, panel, offset, const_cast<uint8_t*>(data), length, true);
}

bool PersistAreas(Machine& machine) {
  CloseAreaReader();  // the files change now
  bool ok = true;
  for (int slot = 0; slot < kAreaSlots; ++slot) {
    ok = PersistStore(machine, slot) && ok;
  }
  return ok;
}

void ReleaseAreas(Machine& machine) {
  CloseAreaReader();
  for (AreaStore& store : machine.areas) {
    ReleaseStore(store);
  }
}

bool WriteOutDefaultContents(Machine& machine) {
  bool ok = true;
  for (int slot = 0; slot < kAreaSlots; ++slot) {
    if (!HasDefaultContents(machine.config, SlotArea(slot), SlotPanel(slot))) {
      continue;
    }
    if (!SetUpStore(machine, slot)) {
      ok = false;
      continue;
    }
    AreaStore& store = machine.areas[slot];
    for (uint32_t page = 0; page < store.pageCount; ++page) {
      // Only the images in the flashes hold anything; the rest stays erased.
      if (!DefaultContentsCover(machine.config, SlotArea(slot), SlotPanel(slot), page * kPageSize,
                                PageBytes(store, page))) {
        continue;
      }
      if (Page(machine, slot, page) == nullptr) {
        ok = false;
      } else {
        store.dirty[page] = 1;
      }
    }
  }
  return ok;
}

void ResizeFlashArea(Machine& machine) {
  AreaStore& store = machine.areas[0];
  uint32_t size = AreaSizeOf(machine.config, Area::Flash);
  if (store.size == 0 || store.size == size) {
    return;
  }
  // Both flash sizes are whole pages: keep the pages that still exist, drop the rest.
  uint32_t pageCount = size / kPageSize;
  auto** pages = static_cast<uint8_t**>(Allocate(pageCount * sizeof(uint8_t*)));
  auto* dirty = static_cast<uint8_t*>(Allocate(pageCount));
  if (pages == nullptr || dirty == nullptr) {
    ReleaseIfAny(pages);
    ReleaseIfAny(dirty);
    ReleaseStore(store);
    return;
  }
  std::memset(pages, 0, pageCount * sizeof(uint8_t*));
  std::memset(dirty, 0, pageCount);
  for (uint32_t page = 0; page < store.pageCount; ++page) {
    if (page < pageCount) {
      pages[page] = store.pages[page];
      dirty[page] = store.dirty[page];
    } else {
      ReleaseIfAny(store.pages[page]);
    }
  }
  ReleaseIfAny(store.pages);
  ReleaseIfAny(store.dirty);
  store.pages = pages;
  store.dirty = dirty;
  store.size = size;
  store.pageCount = pageCount;
}

}  // namespace internal

bool ReadAreaBytes(Area area, uint32_t offset, uint8_t* buffer, size_t length, int panel) {
  return internal::AreaCopyOut(internal::LoadedMachine(), area, panel, offset, buffer, length);
}

bool WriteAreaBytes(Area area, uint32_t offset, const uint8_t* data, size_t length, int panel) {
  return internal::AreaCopyIn(internal::LoadedMachine(), area, panel, offset, data, length);
}

size_t AreaSize(Area area) {
  return internal::AreaSizeOf(internal::LoadedMachine().config, area);
}

}  // namespace sim
