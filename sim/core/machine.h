// Internal state of the simulated controller and the helpers that the model's files share.
// It declares, too, a few functions that the floors above define: the default machine and its
// factory contents (sim/defaults), which the core takes when it loads a machine and fills its
// memory areas, and the power cycle (sim/devices). The command table's ExecuteCommand, through
// which the handshake runs a command, is declared in command_call.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "controller/registers.h"
#include "platform/platform.h"
#include "sim/sim.h"

namespace sim::internal {

// Bits 12-31 of the command status register belong to the controller; the host must write
// them back unchanged. A pattern with set bits in every byte catches a host that does not.
inline constexpr uint32_t kStatusPattern = 0x5A5AA000;
inline constexpr uint8_t kStateWorking = 2;

inline constexpr size_t kPathCapacity = 512;
inline constexpr size_t kViolationTextCapacity = 160;

// Memory areas are kept in pages that are loaded on first touch and written back when dirty,
// so that one block command on a 16 MiB flash moves 64 KiB, not the whole file.
inline constexpr uint32_t kPageSize = 0x10000;
inline constexpr int kAreaSlots = 5 + 3 * kPanelChannels + kPanelChannels * kPanelFpgaDevices;

struct AreaStore {
  uint32_t size = 0;  // 0: not set up yet
  uint32_t pageCount = 0;
  uint8_t** pages = nullptr;
  uint8_t* dirty = nullptr;  // one flag per page
  long fileLength = -1;      // -1: the backing file has not been looked at
};

struct CommandLog {
  LogEntry* entries = nullptr;
  size_t count = 0;
  size_t capacity = 0;
  size_t unsavedFrom = 0;        // entries from here on are not in the log file yet
  bool persistedLoaded = false;  // the log file's entries are at the front of `entries`
  bool cleared = false;          // the log file must be emptied at the next Persist
  bool unsavedDropped = false;   // unsaved entries were dropped: rewrite the file
  uint64_t total = 0;            // every command since the last clear, kept or not
  long fileLines = -1;           // lines in the log file; -1 not known yet
};

struct Machine {
  bool started = false;  // a machine was chosen (in memory or a directory)
  bool inMemory = false;
  bool loaded = false;  // the text state has been read
  bool saved = false;   // the directory holds a machine
  // The default machine that no one created: its settings EEPROMs and panel display blocks
  // hold factory contents (default_contents.cpp) instead of erased bytes.
  bool defaultContents = false;
  char directory[kPathCapacity] = {};

  MachineConfig config;
  bool configDirty = false;

  Fault faults[kMaxFaults] = {};
  int faultCount = 0;
  bool faultsDirty = false;

  // Registers.
  uint32_t statusLow = 0;  // bits 0-11 of the command status register
  uint32_t commandLatch = 0;
  uint8_t panelSelect = 0;
  uint8_t smallWindow[16] = {};
  uint8_t largeWindow[256] = {};
  uint32_t panelIndirectIndex[kPanelChannels] = {};  // block index register 0x3FF1 per panel
  int8_t modulePanel = -1;               // panel selected for module functions (command 0x7F)
  bool windowViolationReported = false;  // one window violation per running command is enough
  bool statusWriteFlagged = false;       // one bits-12-31 violation per register write
  // The log records the payload bytes that the host moved through the windows.
  uint32_t windowWritesBeforeCommand = 0;
  bool replyBeingFetched = false;  // window reads count towards the last (read) log entry
  uint32_t replyBytes = 0;         // fetched reply bytes not yet added to that entry

  // Effects of commands that change the machine (persisted with the registers).
  uint32_t pcReboots = 0;
  uint32_t scanCodeRestarts = 0;  // command 0x19
  PanelRequests panelRequests[kPanelChannels] = {};
  // FPGA modules whose idle copy was written since their last start (taken over at the next).
  bool transmitterUpdatePending = false;
  bool panelFpgaUpdatePending[kPanelChannels][kPanelFpgaDevices] = {};

  uint64_t accessCount = 0;
  // The count in state.txt: a port read changes nothing else of the persisted state, so reads
  // need not mark the state dirty.
  uint64_t savedAccessCount = 0;
  uint32_t violationCount = 0;
  char lastViolation[kViolationTextCapacity] = {};
  bool stateDirty = false;

  CommandLog log;
  AreaStore areas[kAreaSlots];
};

// The one machine of the process (no constructor runs: constant-initialised).
extern Machine theMachine;
Machine& RawMachine();
// Starts and loads the machine (machine_state.cpp).
Machine& LoadMachine();
// The machine with its text state loaded; attaches the default directory when nothing was
// chosen yet. Inline: the port functions ask for it once for every byte the host moves.
inline Machine& LoadedMachine() {
  return theMachine.loaded ? theMachine : LoadMachine();
}
// Forgets everything (memory released) and leaves the machine not started.
void ResetMachine();

// ---- Configurations built in place (default_machine.cpp) ----
void SetDefaultMachineConfig(MachineConfig& config);
void SetBlankMachineConfig(MachineConfig& config);
// The FPGA modules that only the machine of a fresh state directory has (DefaultMachineConfig
// and created machines have none): a KVN4 link transmitter and a converter on panel 1.
void AddDefaultFpgaModules(MachineConfig& config);

// ---- Factory contents of the default machine (default_contents.cpp) ----
bool HasDefaultContents(const MachineConfig& config, Area area, int panel);
// Writes the default contents that fall into the area bytes [offset, offset + length).
void FillDefaultContents(const MachineConfig& config, Area area, int panel, uint32_t offset,
                         uint8_t* bytes, uint32_t length);
// The key configuration of a machine whose feature register says it has one
// (default_key_configuration.cpp).
void FillKeyConfiguration(const MachineConfig& config, uint32_t offset, uint8_t* bytes,
                          uint32_t length);

// ---- Text state (persistence.cpp) ----
void LoadTextState(Machine& machine);

// ---- Paths and text files (text_files.cpp) ----
bool BuildPath(char* buffer, size_t capacity, const char* directory, const char* name);
bool MachinePath(const Machine& machine, const char* name, char* buffer, size_t capacity);

// Reads a text file line by line through a fixed buffer (the log file can be large).
struct LineReader {
  platform::File* file;
  char buffer[4096];
  size_t start;
  size_t end;
  bool atEnd;
};
bool OpenLines(LineReader& reader, const char* path);
// Next line without its line end (over-long lines are cut); false at the end of the file.
bool NextLine(LineReader& reader, char* line, size_t capacity);
void CloseLines(LineReader& reader);
// Replaces a file with the text (written to a temporary file first, then renamed).
bool WriteTextFile(const char* path, const char* text, size_t length);

// ---- Memory areas (memory_areas.cpp) ----
int AreaSlot(Area area, int panel);  // -1 for a bad panel
uint32_t AreaSizeOf(const MachineConfig& config, Area area);
bool AreaCopyOut(Machine& machine, Area area, int panel, uint32_t offset, uint8_t* buffer,
                 size_t length);
bool AreaCopyIn(Machine& machine, Area area, int panel, uint32_t offset, const uint8_t* data,
                size_t length);
bool PersistAreas(Machine& machine);
void ReleaseAreas(Machine& machine);
// Drops pages beyond a new area size (the PC type changed the flash size).
void ResizeFlashArea(Machine& machine);
// Marks every page with default contents dirty, so that the first Persist of the default
// machine writes them and later runs read them from its files.
bool WriteOutDefaultContents(Machine& machine);
bool AreaFileName(int slot, char* buffer, size_t capacity);

// ---- Command log (command_log.cpp) ----
void AppendLog(Machine& machine, const LogEntry& entry);
// Adds the reply bytes that the host fetched (counted in replyBytes) to the newest entry of
// this run; called when the reply ends and before anyone looks at the log.
void SettleReplyBytes(Machine& machine);
bool PersistLog(Machine& machine);
void ReleaseLog(Machine& machine);

// ---- Faults (faults.cpp) ----
bool LockFaultActive(const Machine& machine);
// The fault that decides the outcome of a command, or nullptr. Busy faults count down and
// disappear at zero.
enum class FaultOutcome : uint8_t { None, Fail, Hang, PowerCut };
FaultOutcome ApplyCommandFault(Machine& machine, uint8_t code, bool read, uint8_t* errorByte);

// Default contents of an area cover the bytes [offset, offset + length) at least in part
// (only such pages of the large flashes are written out).
bool DefaultContentsCover(const MachineConfig& config, Area area, int panel, uint32_t offset,
                          uint32_t length);

// ---- Power cut (power_cut.cpp) ----
// The power fails at this command: logged as never finished, then the machine starts again
// and is saved, and the run ends (EndRunAfterPowerCut). Never returns.
[[noreturn]] void CutPower(Machine& machine, const LogEntry& command);

// ---- Power cycle (power_cycle.cpp) ----
// The machine goes through a power cycle (PC reboot through the controller).
void PowerCycle(Machine& machine);
// What a start of the PC does: controller, DRUX firmware take-over, BIOS settings word and
// the link transmitter (not counted as a reboot).
void StartDevices(Machine& machine);
// The PC's firmware takes the stored BIOS settings word over at the start (bios_takeover.cpp).
void ApplyBiosSettingsWord(Machine& machine);

// ---- Handshake (handshake.cpp) ----
void RecordViolation(Machine& machine, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
uint8_t ReadStatusByte(Machine& machine, int byteIndex);
void WriteStatusByte(Machine& machine, int byteIndex, uint8_t value);
void WriteCommandByte(Machine& machine, int byteIndex, uint8_t value);
uint32_t StatusRegister(const Machine& machine);
inline uint8_t CommandState(const Machine& machine) {
  return uint8_t((machine.statusLow & drux::kStatusStateMask) >> 8);
}

// ---- Small text helpers (text_fields.cpp) ----
bool ParseNumber(const char* text, uint32_t* value);
// Exactly `count` numbers separated by commas ("10,7").
bool ParseNumberList(const char* text, uint32_t* values, int count);
bool ParseVersion(const char* text, uint32_t* major, uint32_t* minor);
bool TextEquals(const char* a, const char* b);
bool StartsWith(const char* text, const char* prefix);
void CopyText(char* destination, size_t capacity, const char* source);

// Text assembled in a caller-supplied buffer; `overflow` tells that something did not fit.
struct TextBuilder {
  char* data;
  size_t capacity;
  size_t length;
  bool overflow;
};
void AppendText(TextBuilder& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---- Configuration text (config_text.cpp) ----
void AppendConfigText(TextBuilder& text, const MachineConfig& config);
// A buffer size that the configuration's text surely fits.
size_t ConfigTextCapacity(const MachineConfig& config);

}  // namespace sim::internal
