// druxsim: the command-line tool that creates, inspects and changes the simulated PC.
#pragma once

#include <string>
#include <vector>

#include "sim/devices/factory_settings_image.h"
#include "sim/sim.h"

namespace druxsim {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitIo = 2;

using Arguments = std::vector<std::string>;

// Each command gets the arguments after its name; the machine directory is attached already.
int RunCreate(const std::string& directory, const Arguments& args);
int RunSet(const Arguments& args);
int RunModule(const Arguments& args);
int RunShow(const Arguments& args);
int RunFault(const Arguments& args);
int RunDump(const Arguments& args);
int RunLoad(const Arguments& args);
int RunFactorySettings(const Arguments& args);
// fset --panel N: the panel's own factory settings (display block and extended record).
int RunPanelFactorySettings(const Arguments& args);
int RunLog(const Arguments& args);
int RunAccesses(const Arguments& args);
int RunViolations(const Arguments& args);
int RunReset(const Arguments& args);
int RunTransmitter(const Arguments& args);
int RunConverter(const Arguments& args);
int RunPowerCycle(const Arguments& args);
int RunImage(const Arguments& args);

// The words of a set-up are valid (the transmitter's, or a converter's).
bool ValidFpgaSpec(bool transmitter, const std::string& kind, const Arguments& words);
// Set-up of the FPGA modules (also create's --transmitter and --converter); the caller saves.
int SetUpTransmitter(const std::string& kind, const Arguments& words);
int SetUpConverter(int panel, const std::string& kind, const Arguments& words);
// The FPGA module lines of show.
void ShowFpgaModules();
// "<name>: KIND running=... id=... version=... counter=... crc=... update=..." or "<name>: none".
void PrintFpgaLine(const char* name, int panel, int device);
// "major.minor" with a decimal minor below 100 -> major * 100 + minor.
bool ParseVersionNumber(const std::string& text, uint32_t* version);
int RunReceiver(const Arguments& args);
int RunHdbt(const Arguments& args);
// "<indent>receiver: <runs from>, module functions on|off, flash protected|unprotected".
void PrintReceiverLine(const char* indent, int panel);

// "id 0x..., hwrev "...", serial "...", model "...", parent 0x...\n"
void PrintModuleIdentity(const sim::ModuleConfig& module);
// One line a present statistics record, in the form of its setting ("power-on=10,7").
void PrintModuleStatistics(const char* indent, const sim::ModuleStatistics& statistics);

// One FIELD=VALUE of druxsim fset into the record fields; false for an unknown field or a bad
// value. checksumOffsetGiven is set when the field places the checksum byte.
bool ApplyRecordField(sim::FactoryRecordFields& fields, bool* checksumOffsetGiven,
                      const std::string& key, const std::string& value);

// The help text (druxsim help).
const char* HelpText();

// "druxsim: <message>" on the error stream; returns the exit code for convenience.
int Fail(int code, const std::string& message);
// Number in decimal or 0x-hexadecimal.
bool ParseUnsigned(const std::string& text, unsigned long long* value);
// Saves the machine; an I/O failure is reported and gives kExitIo.
int SaveMachine();

}  // namespace druxsim
