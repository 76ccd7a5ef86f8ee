// The simulated DRUX controller: a register-level model of the port block 0x4000-0x4193 with
// its command handshake and commands, persisted state, fault injection and a command log.
// Portable: no exceptions, no iostreams; memory through one allocation hook, files through the
// platform layer. The druxsim tool, the hosted port backend and the tests drive it only
// through this header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

inline constexpr int kPanelChannels = 16;
inline constexpr int kModules = 16;

struct PanelConfig {
  bool connected = false;
  uint16_t versionId = 0;      // 0x5886 = built-in display of a panel PC
  uint8_t linkFpgaMajor = 0;   // 4 bits
  uint8_t linkFpgaMinor = 0;   // 8 bits
  bool moduleFunctions = true; // answers command 0x7F (select panel for module functions)
};

struct MachineConfig {
  bool present = true;          // false: every port of the block reads all ones
  char id[5] = {'D', 'R', 'U', 'X', 0};  // identification letters ("DRUX", "DRUU", ...)
  uint8_t pcType = 18;          // PC type code, bits 0-7 of the system status register
  uint32_t systemFlags = 0;     // bits 8-31 of the system status register
  uint32_t panelChannels = 16;  // 1 or 16 (capability register bit 12)
  uint32_t updateCounter = 0;
  uint32_t featureRegister = 0;
  uint32_t biosRegister = 0;    // effective BIOS settings register 0x4190
  uint16_t firmwareVersion = 0x0105;  // major * 256 + minor, reply of command 0x10
  PanelConfig panels[kPanelChannels];
};

// The default simulated PC: an EX64 with 16 channels and panels 0 and 1 connected.
MachineConfig DefaultMachineConfig();

// ---- Lifecycle -------------------------------------------------------------------------

// Environment setting that names the state directory of the simulated PC.
inline constexpr const char* kStateDirectoryVariable = "DRUXSIM_DIR";
// Used when the variable is not set: $HOME/.druxsim (no HOME: the default machine in memory).
inline constexpr const char* kDefaultStateDirectoryName = ".druxsim";

// When neither StartInMemory nor AttachDirectory was called, the first port access attaches
// the directory named by DRUXSIM_DIR, else $HOME/.druxsim.
// A fresh machine in memory; nothing is persisted (tests).
void StartInMemory(const MachineConfig& config);
// The machine persisted in a directory. Nothing is read until the first port access; a
// directory without a machine gives the default machine. Returns false on a bad path.
bool AttachDirectory(const char* directory);
// Creates (or replaces) a machine in the directory with the configuration and erased memory.
bool CreateMachine(const char* directory, const MachineConfig& config);
// Writes what changed (registers, memory areas, counters, log) back to the directory.
// No-op for an in-memory machine. Returns false when something could not be written.
bool Persist();
// Current configuration (loads it when needed); changes through UpdateConfig.
const MachineConfig& Config();
void UpdateConfig(const MachineConfig& config);

// ---- Port access (what the program's port backend calls) -------------------------------

uint8_t PortRead(uint16_t port);
void PortWrite(uint16_t port, uint8_t value);

// ---- Faults ----------------------------------------------------------------------------

enum class FaultKind : uint8_t {
  LockHeld,       // the interface lock bit is set by another party and never released
  Busy,           // the command fails with error byte 0x84 for its next `count` executions
  ErrorByte,      // the command fails with `errorByte` (every time while the fault is set)
  NeverFinishes,  // the command stays in the working state
};
inline constexpr int kAnyCommand = -1;
struct Fault {
  FaultKind kind;
  int command;        // command code (0-255) or kAnyCommand; ignored for LockHeld
  uint8_t errorByte;  // ErrorByte only
  uint32_t count;     // Busy only: remaining busy answers
};
inline constexpr int kMaxFaults = 16;
bool AddFault(const Fault& fault);
void ClearFaults();
int FaultCount();
Fault FaultAt(int index);

// ---- Command log and access count --------------------------------------------------------

struct LogEntry {
  uint8_t code;        // command code as written (including an address extension)
  uint16_t address;    // 14-bit address field
  uint8_t device;
  uint8_t target;
  uint16_t size;       // payload bytes moved through the window
  bool read;
  uint8_t state;       // 1 finished, 3 failed, 2 never finished
  uint8_t errorByte;
};
// Entries of this run and of earlier persisted runs, oldest first.
size_t LogSize();
LogEntry LogAt(size_t index);
void ClearLog();
uint64_t PortAccessCount();
void ClearPortAccessCount();

// ---- Memory areas (druxsim dump/load, tests) --------------------------------------------

enum class Area : uint8_t {
  Flash,            // controller flash, 4 or 16 MiB by PC type (commands 0xA0/0xE0, device 0)
  LinkFlash,        // link transmitter flash (device 3)
};
// Copies bytes out of / into an area; false when the range lies outside it.
bool ReadAreaBytes(Area area, uint32_t offset, uint8_t* buffer, size_t length);
bool WriteAreaBytes(Area area, uint32_t offset, const uint8_t* data, size_t length);
size_t AreaSize(Area area);

// ---- Allocation hook ---------------------------------------------------------------------

// All memory of the model comes from here; the host uses malloc, UEFI its pool allocator.
void* Allocate(size_t bytes);
void Release(void* memory);

}  // namespace sim
