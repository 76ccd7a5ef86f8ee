// The simulated DRUX controller: a register-level model of the port block 0x4000-0x4193 with
// its command handshake and commands, persisted state, fault injection and a command log.
// Portable: no exceptions, no iostreams; memory through one allocation hook, files through the
// platform layer. The druxsim tool, the port bindings and the tests drive it through this
// header (the tool and the tests also build images and settings records with the builders of
// sim/devices). Inside, each folder is a floor that uses only those below it:
//   sim/core      ports, handshake and command call, machine state, configuration text,
//                 memory areas, persistence, command log, faults (internal header machine.h)
//   sim/devices   FPGA modules, panel receiver, panel settings, image builders, power cycle
//   sim/commands  the command table (commands.h) and one cmd_*.cpp per command family
//   sim/defaults  the default machine and its factory contents
// and beside the model: sim/hosted and sim/uefi (bindings), sim/tool (druxsim).
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

inline constexpr int kPanelChannels = 16;
inline constexpr int kModules = 16;

// Statistics records of a module (commands 0x65 and 0x75). A record that is not present
// answers 0x85. Times are counted in quarter hours.
struct TimeRecord {  // power-on, backlight-on, on-battery
  bool present = false;
  uint32_t quarterHours = 0;
  uint32_t cycles = 0;
};
struct TemperatureRecord {  // maximum or minimum of one sensor
  bool present = false;
  uint32_t logTime = 0;    // quarter hours
  uint32_t alarmTime = 0;  // quarter hours
  uint16_t word = 0;       // 10-bit two's complement in bits 6-15, quarter degrees Celsius
};
struct FanRecord {
  bool present = false;
  uint32_t runningTime = 0;  // quarter hours
  uint32_t cycles = 0;
  uint32_t tooSlowTime = 0;  // quarter hours
  uint32_t alarmTime = 0;    // quarter hours
};
inline constexpr int kTemperatureSensors = 4;
inline constexpr int kFans = 4;
struct ModuleStatistics {
  TimeRecord powerOn;                                     // address 0x100, target 0
  TimeRecord backlightOn;                                 // address 0x100, target 1
  TimeRecord onBattery;                                   // address 0x100, target 3
  TemperatureRecord temperatureMax[kTemperatureSensors];  // address 0, target = sensor
  TemperatureRecord temperatureMin[kTemperatureSensors];  // address 1, target = sensor
  FanRecord fans[kFans];                                  // address 0x200, target = fan
};

// Identity data (command 0x61 for a PC module, 0x71 for a panel module) and statistics of a
// module. Texts are NUL-terminated.
struct ModuleConfig {
  bool fitted = false;            // a module that is not fitted answers 0x85
  uint32_t id = 0;                // identification word (address 0x100)
  char hardwareRevision[5] = {};  // address 0x300, 5 bytes: up to 4 characters
  char serialNumber[12] = {};     // address 0x400, 12 bytes: up to 11 characters
  char modelNumber[41] = {};      // addresses 0x500-0x502, 40 bytes: up to 40 characters
  uint32_t parentId = 0;          // address 0x700, 6 bytes: this word little-endian, then 0, 0
  ModuleStatistics statistics = {};
};

// A flash-backed FPGA module of a panel channel (device 0-4 after command 0x7F; the link
// converter is device 2). The kind ("KR4B", "KR3B" ...) chooses the flash layout; empty: the
// device has no such FPGA. The flags are the hardware's run state.
inline constexpr int kPanelFpgaDevices = 5;
inline constexpr int kConverterDevice = 2;
inline constexpr uint32_t kFpgaRunsHigh = 1u << 0;  // runs from the high copy
inline constexpr uint32_t kFpgaCrcError = 1u << 1;  // the running copy failed its CRC at start
struct FpgaUnitConfig {
  char kind[5] = {};
  uint32_t flags = 0;
};

struct PanelConfig {
  bool connected = false;
  uint16_t versionId = 0;       // 0x5886 = built-in display of a panel PC
  uint8_t linkFpgaMajor = 0;    // 4 bits
  uint8_t linkFpgaMinor = 0;    // 8 bits
  bool moduleFunctions = true;  // answers command 0x7F (select panel for module functions)
  // Write protection of the panel flash (command 0x22 target 3, byte 0 = 1 on, 0 off): a write
  // through command 0x20 target 3 then fails with error byte 0x85.
  bool flashProtected = false;
  uint16_t backlightHours = 0;  // panel statistics record (command 0x30)
  uint16_t backlightCycles = 0;
  ModuleConfig modules[kModules] = {};  // the panel's modules, reached after command 0x7F
  FpgaUnitConfig fpga[kPanelFpgaDevices] = {};
};

struct MachineConfig {
  bool present = true;                   // false: every port of the block reads all ones
  char id[5] = {'D', 'R', 'U', 'X', 0};  // identification letters ("DRUX", "DRUU", ...)
  uint8_t pcType = 18;                   // PC type code, bits 0-7 of the system status register
  uint32_t systemFlags = 0;              // bits 8-31 of the system status register (in place)
  uint32_t panelChannels = 16;           // 1 or 16 (capability register bit 12)
  uint32_t updateCounter = 0;
  uint32_t featureRegister = 0;
  uint32_t biosRegister = 0;  // effective BIOS settings register 0x4190
  // BIOS settings word (command 0x66, address 0x700): a controller that never stored one
  // answers the read with 0x85. The read's bytes 0-3 are the controller's own, bytes 4-7 the word.
  bool biosWordStored = false;
  uint32_t biosWord = 0;
  uint32_t biosWordHead = 0;
  uint16_t firmwareVersion = 0x0105;  // major * 256 + minor, reply of command 0x10
  // Identity data of the PC (command 0x12, target 1).
  uint32_t userSerialIdHead = 0;  // device 0 address 0: bytes 0-3 of the user serial ID record
  uint32_t userSerialId = 0;      // bytes 4-7
  uint32_t pcDeviceId = 0;        // device 1 address 0: bytes 0-3 of a 16-byte record
  uint32_t pcParentId = 0;        // device 2 address 0x40: bytes 0-3 of a 16-byte record
  char pcModelNumber[41] = {};    // device 2 addresses 0x10, 0x20, 0x30: 16 bytes each
  PanelConfig panels[kPanelChannels];
  ModuleConfig modules[kModules];  // PC modules 0-15
  // FPGA ID of the link transmitter (PC module 3, device 3), which chooses its flash layout;
  // empty: no transmitter. Its run state is in the system flags (bits 10 and 12).
  char transmitterKind[5] = {};
};

// The default simulated PC: an EX64 with 16 channels, panels 0 and 1 connected and PC modules
// 0 (system unit) and 8 (fan kit) fitted. A fresh state directory adds a link transmitter and
// a converter on panel 1 (with their images); this configuration has neither.
MachineConfig DefaultMachineConfig();

// ---- Configuration as text (state file and the druxsim tool share these) ---------------------

// Applies one setting to a configuration. Keys and values:
//   pc=<code 0-255 | EX41 VP41 EX52 VP52 EX64 VP64 EX53 VP53 EM64 VP47 VP20>
//   variant=<four letters A-Z | absent>   present=<0|1>   channels=<1|16>
//   firmware=<major.minor>   update-counter=<n>   system-flags=<n>   features=<n>   bios=<n>
//   panel.<0-15>.connected=<0|1>   panel.<N>.version=<n>   panel.<N>.link=<major.minor>
//   panel.<N>.modules=<0|1>   panel.<N>.protect=<0|1>
//   module.<0-15>.fitted=<0|1>   module.<N>.id=<n>   module.<N>.hwrev=<text>
//   module.<N>.serial=<text>   module.<N>.model=<text>   module.<N>.parent=<n>
//   module.<N>.power-on=<quarter hours>,<cycles>|none   (also backlight-on, on-battery)
//   module.<N>.temp-max.<0-3>=<log time>,<alarm time>,<temperature word>|none   (also temp-min)
//   module.<N>.fan.<0-3>=<running time>,<cycles>,<too-slow time>,<alarm time>|none
//   panel.<N>.module.<0-15>.<any module field>   panel.<N>.backlight-hours=<n>
//   panel.<N>.backlight-cycles=<n>
//   uid=<n>   uid-head=<n>   pc-device-id=<n>   pc-parent-id=<n>   pc-model=<text>
//   bios-word=<n>|none   bios-head=<n>
//   transmitter=<four characters>|none   panel.<N>.fpga.<0-4>=<four characters>|none
//   panel.<N>.fpga.<D>.area=<low|high>   panel.<N>.fpga.<D>.crc-error=<0|1>
//   (panel.<N>.converter... is panel.<N>.fpga.2...)
// Numbers are decimal or 0x-hexadecimal. Setting a module field fits the module; fitted=0
// removes it. Returns false (configuration unchanged) on an unknown key or a bad value.
bool ApplySetting(MachineConfig& config, const char* key, const char* value);
// Same for one "key=value" text.
bool ApplySettingText(MachineConfig& config, const char* keyValue);
// Model name of a PC type code ("EX64"), or nullptr for a code without a model.
const char* PcModelName(uint8_t pcType);

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
// directory without a machine gives the default machine, whose settings EEPROMs and panel
// display blocks hold factory contents (machines from StartInMemory and CreateMachine start
// erased). Returns false on a bad path.
// Unsaved changes of the previously attached machine are dropped (call Persist first).
bool AttachDirectory(const char* directory);
// Creates (or replaces) a machine in the directory with the configuration and erased memory:
// no faults, empty log, zero counters. The directory is attached afterwards.
bool CreateMachine(const char* directory, const MachineConfig& config);
// Writes what changed (registers, memory areas, counters, log) back to the directory.
// No-op for an in-memory machine. Returns false when something could not be written.
bool Persist();
// Current configuration (loads it when needed); changes through UpdateConfig.
const MachineConfig& Config();
void UpdateConfig(const MachineConfig& config);
// Directory of the attached machine ("" in memory) and whether it holds a saved machine.
const char* StateDirectory();
bool MachineSaved();

// ---- Port access (what the program's port backend calls) -------------------------------

uint8_t PortRead(uint16_t port);
void PortWrite(uint16_t port, uint8_t value);

// The model's own view of the command status register (no port access is counted).
uint32_t CommandStatusValue();
// Clears bits 0-11 of the command status register, as a controller reset would (recovers a
// lock that a host left behind).
void ResetCommandInterface();

// ---- Faults ----------------------------------------------------------------------------

enum class FaultKind : uint8_t {
  LockHeld,       // the interface lock bit is set by another party and never released
  Busy,           // the command fails with error byte 0x84 for its next `count` executions
  ErrorByte,      // the command fails with `errorByte` (every time while the fault is set)
  NeverFinishes,  // the command stays in the working state
  PowerCut,       // the power fails as the command arrives: see EndRunAfterPowerCut
};
inline constexpr int kAnyCommand = -1;
// Which executions of the command a fault hits: a write that fails after its read succeeded
// needs a fault on the write alone.
enum class FaultDirection : uint8_t { Any, Read, Write };
struct Fault {
  FaultKind kind;
  int command;        // command code as written (0-255) or kAnyCommand; ignored for LockHeld
  uint8_t errorByte;  // ErrorByte only
  uint32_t count;     // Busy only: remaining busy answers
  FaultDirection direction = FaultDirection::Any;  // ignored for LockHeld
  // ErrorByte, NeverFinishes and PowerCut: this many matching commands still run normally
  // before the fault hits (counts down), so that a transfer can fail in its middle.
  uint32_t after = 0;
};
inline constexpr int kMaxFaults = 16;
bool AddFault(const Fault& fault);
void ClearFaults();
int FaultCount();
Fault FaultAt(int index);
// Text form of a fault, as in the state file and the druxsim fault command:
//   "lock", "busy <cmd> <count>", "error <cmd> <byte>", "hang <cmd>"; <cmd> = code or "any";
//   busy, error and hang take "read" or "write" as a last word to hit only that direction;
//   error and hang end in "--after <n>" when n matching commands still run normally;
//   "powercut <cmd>" takes the same direction word and "--after <n>".
size_t FormatFault(const Fault& fault, char* buffer, size_t capacity);
bool ParseFault(const char* text, Fault* fault);

// A power cut: the command that meets the fault is not carried out, the fault is gone (the
// power comes back once), the machine is switched on again as by PowerCycleAll with its
// volatile state lost (interface lock, command state), its state is saved, and the program
// that sent the command ends at once with this exit code, without releasing the interface or
// finishing anything of its own: what a flash holds after a power loss, seen at the next start.
inline constexpr int kPowerCutExitCode = 99;
// Ends the process after the power cut (per build: the hosted one leaves through _exit, so
// that none of the program's exit paths run). Never returns.
[[noreturn]] void EndRunAfterPowerCut();

// ---- Protocol violations of the host -------------------------------------------------------

uint32_t ProtocolViolationCount();
const char* LastProtocolViolation();  // "" when there was none
void ClearProtocolViolations();

// ---- Command log and access count --------------------------------------------------------

struct LogEntry {
  uint8_t code;      // command code as written (including an address extension)
  uint16_t address;  // 14-bit address field
  uint8_t device;
  uint8_t target;
  uint16_t size;  // payload bytes the host moved through the window for this command:
                  // written before a write command, read after a read command
  bool read;
  uint8_t state;  // 1 finished, 3 failed, 2 never finished
  uint8_t errorByte;
};
// The log keeps the newest entries of this run and of earlier persisted runs, at most this
// many, oldest first.
inline constexpr size_t kLogKeptEntries = 100000;
size_t LogSize();
LogEntry LogAt(size_t index);
// Commands logged since the last clear, also those that the log no longer keeps.
uint64_t LogTotal();
void ClearLog();
uint64_t PortAccessCount();
void ClearPortAccessCount();
// One log line: "RD cmd=0xe0 addr=0x0000 dev=0 target=0 size=256 state=1 err=0x00".
size_t FormatLogEntry(const LogEntry& entry, char* buffer, size_t capacity);
bool ParseLogEntry(const char* line, LogEntry* entry);

// ---- Effects of commands on the machine ------------------------------------------------

// PC reboots through command 0x50; each counts as a power cycle of the machine.
uint32_t PcRebootCount();
// Restarts of the scan-code handling through command 0x19 (after a key configuration change).
uint32_t ScanCodeRestartCount();
// Panel requests (command 0x22) that reached a panel: how many, and byte 0 of the last one
// (2 reboots the panel, 8 its link converter).
struct PanelRequests {
  uint32_t count;
  uint8_t lastRequest;
};
PanelRequests PanelRequestsOf(int panel);  // zeros for a panel number outside 0-15

// ---- Flash-backed FPGA modules -------------------------------------------------------------

// The link transmitter is unit panel -1, device 3; the FPGA modules of panel P are panel P,
// device 0-4.
inline constexpr int kTransmitterPanel = -1;
inline constexpr int kTransmitterDevice = 3;
enum class FpgaCopy : uint8_t { Low, High, Running, Idle };
struct FpgaStatus {
  char kind[5];
  bool runsHigh;
  bool crcError;
  bool updatePending;  // the idle copy was written since the module's last start
  bool headerValid;    // the running copy has a valid image header (then id, version, counter)
  char id[5];
  char versionText[5];
  uint32_t counter;
};
// false when the unit has no FPGA.
bool FpgaModuleStatus(int panel, int device, FpgaStatus* status);
// Where a copy lies in the unit's flash (its image size); false without FPGA.
bool FpgaCopyRange(int panel, int device, FpgaCopy copy, uint32_t* start, uint32_t* size);
// Sets the unit up: `kind` becomes its FPGA, an intact image of the recipe (sized to the
// kind's layout) is written into the low or high copy, which becomes the running one with a
// good CRC state; a pending update is forgotten. The module's identity (PC module 3, panel
// module 2) is the caller's. false on a bad unit or kind.
bool SetUpFpgaModule(int panel, int device, const char* kind, uint32_t version, uint32_t counter,
                     bool high);
// The panel's link receiver after its configuration (version ID, link FPGA version, module
// functions) was set: an intact image of that version is written where the panel runs it
// from (the panel flash from 0 for small images, on panels without module functions and for
// 0x0DE0; else the low or high copy of the link module, device 1). false for a panel whose
// version ID has no receiver.
bool SetUpPanelReceiver(int panel, uint32_t counter, bool high);
// Where the receiver runs from: "panel flash", "link module" or nullptr (no receiver).
const char* PanelReceiverSource(int panel);
// Removes the unit's FPGA (its flash stays).
void RemoveFpgaModule(int panel, int device);
// Bytes [offset, offset + length) of the unit's flash were written from outside (druxsim
// load): a write into the idle copy counts as an update that waits for the next start.
void NoteFpgaFlashWrite(int panel, int device, uint32_t offset, uint32_t length);
// Every device starts again as after switching the PC and the panels off and on (the PC
// reboot count stays).
void PowerCycleAll();

// ---- Memory areas (druxsim dump/load, tests) --------------------------------------------

enum class Area : uint8_t {
  Flash,                // controller flash, 4 or 16 MiB by PC type (commands 0xA0/0xE0, device 0)
  LinkFlash,            // link transmitter flash (device 3)
  PanelFlash,           // FPGA flash of a panel, 4 MiB (command 0x20, target 3)
  PanelDisplay,         // display block of a panel, 4 KiB (command 0x20, target 4)
  ModuleSettings,       // factory-settings EEPROMs of the PC modules (command 0x63)
  PanelModuleSettings,  // factory-settings EEPROMs of a panel's modules (command 0x73)
  SystemData,           // system data store, 1 KiB (command 0x67)
  KeyConfiguration,     // key configuration, 64 KiB with one panel channel, else 256 KiB
                        // (command 0x20, target 1, device 2)
  PanelFpgaFlash,       // flash of an FPGA module of a panel, 16 MiB; `panel` = PanelFpgaKey
};
// The `panel` argument of the area functions for PanelFpgaFlash.
inline constexpr int PanelFpgaKey(int panel, int device) {
  return panel * kPanelFpgaDevices + device;
}
// The factory-settings areas hold one EEPROM per device number: device d at d * 2 KiB.
inline constexpr uint32_t kSettingsDeviceSize = 2048;
inline constexpr int kSettingsDevices = 16;
// Copies bytes out of / into an area; false when the range lies outside it (or the panel
// number is not 0-15). `panel` selects the panel of the panel areas.
bool ReadAreaBytes(Area area, uint32_t offset, uint8_t* buffer, size_t length, int panel = 0);
bool WriteAreaBytes(Area area, uint32_t offset, const uint8_t* data, size_t length, int panel = 0);
size_t AreaSize(Area area);

// ---- Allocation hook ---------------------------------------------------------------------

// All memory of the model comes from here; the host uses malloc, UEFI its pool allocator.
void* Allocate(size_t bytes);
void Release(void* memory);

}  // namespace sim
