// Short and long help, and the pager of the long help.
#include "frontend/help.h"

#include <cstdint>

#include "platform/format.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// Which feature sets print a help line.
enum class Shown : uint8_t { Both, ServiceOnly, FullOnly };

// One help line; "%s" in it stands for the program name.
struct HelpLine {
  Shown shown;
  const char* format;
};

constexpr const char* kSyntaxService =
    "Syntax: %s <action> <datatype> [<fname>|<setting>] [<opts>]\n";
constexpr const char* kSyntaxFull =
    "Syntax: %s [<action>] [<datatype>] [<fname>|<setting>] [<opts>]\n";

constexpr HelpLine kShortHelp[] = {
    {Shown::ServiceOnly, kSyntaxService},
    {Shown::FullOnly, kSyntaxFull},
    {Shown::Both, "Function: DRUX service utility\n"},
    {Shown::Both, "Arguments:\n"},
    {Shown::Both, "     action        I[nfo], U[pdate], S[ave], D[elete], C[hange]\n"},
    {Shown::FullOnly,
     "     datatype      ALL, BIOSSET, CONV[FPGA], FANFSET, FAN2FSET, FLASH, FSET,\n"},
    {Shown::FullOnly,
     "                   HDBT, KCF, LINKBLDR, LINK[FPGA], LINKIFILE, DRUX[FW], STAT,\n"},
    {Shown::FullOnly, "                   SYS[TEM], SYS[TEM]2, SYS[TEM3], UID, USER\n"},
    {Shown::ServiceOnly, "     datatype      ALL, BIOSSET, CONV[FPGA], FANFSET, FAN2FSET,\n"},
    {Shown::ServiceOnly,
     "                   HDBT, KCF, LINK[FPGA], LINKIFILE, DRUX[FW], STAT, UID, USER\n"},
    {Shown::Both, "     fname         file name (default: determined automatically)\n"},
    {Shown::Both, "     setting       a) user serial ID (0 to FFFFFFFF)\n"},
    {Shown::Both, "                   b) BIOS setting (BOOT=BIOS|legacy|UEFI, HV=BIOS|enabled,\n"},
    {Shown::FullOnly,
     "                   RT=BIOS|enabled, SATA=BIOS|IDE|RAID|AHCI, TPM=BIOS|dTPM|fTPM, "
     "UEFI=BIOS|only,\n"},
    {Shown::FullOnly, "                   USBPWR=BIOS|on)\n"},
    {Shown::ServiceOnly,
     "                   RT=BIOS|enabled, SATA=BIOS|IDE|RAID|AHCI, TPM=BIOS|dTPM|fTPM, "
     "USBPWR=BIOS|on)\n"},
    {Shown::FullOnly,
     "                   c) factory setting (COMPID=<compatibility ID>, DEVID=<device ID>,\n"},
    {Shown::FullOnly, "                   HWREV=<hardware revision>, MODNUM=<model number>,\n"},
    {Shown::FullOnly,
     "                   PCOMPID=<parent compatibility ID>, PDEVID=<parent device ID>,\n"},
    {Shown::FullOnly, "                   SERNUM=<serial number>)\n"},
    {Shown::Both, "Options:\n"},
    {Shown::Both, "     -d            debug mode: show DRUX flash and EEPROM R/W data\n"},
    {Shown::FullOnly, "     -m=<module>   module number (0 to 15)\n"},
    {Shown::Both, "     -p=<panel>    panel number (0 to 15; default: target device is PC)\n"},
    {Shown::Both, "     -r            reboot PC, panel or converter after action if required\n"},
    {Shown::Both, "     -v            don't verify data after update/save\n"},
    {Shown::Both, "     -y            overwrite or delete files and data or downgrade firmware\n"},
    {Shown::Both, "     -h            show long help\n"},
    {Shown::Both, "     -?            show this text\n"},
};

constexpr HelpLine kLongHelp[] = {
    {Shown::ServiceOnly, kSyntaxService},
    {Shown::FullOnly, kSyntaxFull},
    {Shown::Both, "Function: DRUX service utility\n"},
    {Shown::Both, kSupportedPcModels},
    {Shown::Both, kSupportedPanelTypes},
    {Shown::Both, kSupportedLinkGenerations},
    {Shown::Both, "Arguments:\n"},
    {Shown::Both, "     action        action to perform:\n"},
    {Shown::Both, "                   C[hange]   = change data\n"},
    {Shown::Both, "                   D[elete]   = delete data\n"},
    {Shown::Both, "                   I[nfo]     = show info about data\n"},
    {Shown::Both, "                   S[ave]     = save data to file\n"},
    {Shown::Both, "                   U[pdate]   = update data with file\n"},
    {Shown::Both, "     datatype      data type (+ supported actions):\n"},
    {Shown::Both, "                   ALL        = all below (I)\n"},
    {Shown::Both, "                   BIOSSET    = BIOS settings (C,I)\n"},
    {Shown::Both, "                   FANFSET    = fan unit factory settings (D,I,U)\n"},
    {Shown::Both, "                   CONV[FPGA] = link converter FPGA firmware (I,S,U)\n"},
    {Shown::Both, "                   FAN2FSET   = 2nd (bus) fan unit factory settings (D,I,U)\n"},
    {Shown::FullOnly, "                   FLASH      = complete flash (I,S,U)\n"},
    {Shown::FullOnly, "                   FSET       = factory settings (C,D,I,S,U)\n"},
    {Shown::Both, "                   HDBT[FW]   = HDBaseT firmware (I,U)\n"},
    {Shown::Both, "                   KCF        = key configuration (D,I,S,U)\n"},
    {Shown::FullOnly, "                   LINKBLDR   = link transmitter bootloader (S,U)\n"},
    {Shown::Both,
     "                   LINK[FPGA] = link transmitter/receiver FPGA firmware (I,S,U)\n"},
    {Shown::Both, "                   LINKIFILE  = link transmitter FPGA (complete) (U)\n"},
    {Shown::Both, "                   DRUX[FW]   = DRUX firmware (I,S,U)\n"},
    {Shown::Both, "                   STAT       = statistics values (I)\n"},
    {Shown::FullOnly, "                   SYS[TEM]   = system data (D,I,S,U)\n"},
    {Shown::FullOnly, "                   SYS[TEM]2  = 2nd system data (D,I,S,U)\n"},
    {Shown::FullOnly, "                   SYS[TEM]3  = 3rd system data (D,I,S,U)\n"},
    {Shown::Both, "                   UID        = user serial ID (C,I)\n"},
    {Shown::Both, "                   USER       = user data (D,I,S,U)\n"},
    {Shown::Both, "     fname         file name (default: determined automatically)\n"},
    {Shown::Both, "     setting       a) user serial ID (0 to FFFFFFFF)\n"},
    {Shown::Both, "                   b) BIOS setting:\n"},
    {Shown::Both, "                   BOOT=<boot mode> (BIOS|legacy|UEFI)\n"},
    {Shown::Both, "                   HV=<hypervisor environment> (BIOS|enabled)\n"},
    {Shown::Both, "                   RT=<realtime environment> (BIOS|enabled)\n"},
    {Shown::Both, "                   SATA=<SATA mode> (BIOS|AHCI|IDE|RAID)\n"},
    {Shown::Both, "                   TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"},
    {Shown::FullOnly, "                   UEFI=<UEFI boot> (BIOS|only)\n"},
    {Shown::Both, "                   USBPWR=<USB standby power> (BIOS|on)\n"},
    {Shown::Both, "                   Note: '=BIOS' uses value set in BIOS\n"},
    {Shown::Both, "                   Note: support of setting depends on PC type!\n"},
    {Shown::Both, "                   c) factory setting:\n"},
    {Shown::Both, "                   COMPID=<compatibility ID> (1 to 4 hex digits)\n"},
    {Shown::Both, "                   DEVID=<device ID> (1 to 8 hex digits)\n"},
    {Shown::Both, "                   HWREV=<hardware revision>  (1 to 4 characters)\n"},
    {Shown::Both, "                   MODNUM=<model number> (1 to 40 characters)\n"},
    {Shown::Both, "                   PCOMPID=<parent compatibility ID> (1 to 4 hex digits)\n"},
    {Shown::Both, "                   PDEVID=<parent device ID> (1 to 8 hex digits)\n"},
    {Shown::Both, "                   SERNUM=<serial number> (1 to 11 characters)\n"},
    {Shown::Both, "Options:\n"},
    {Shown::Both, "     -d            debug mode: show DRUX R/W command data\n"},
    {Shown::FullOnly, "     -m=<module>   module number (0 to 15)\n"},
    {Shown::Both, "     -p=<panel>    panel number (0 to 15 = connected Teleo Panel;\n"},
    {Shown::Both, "                   default: target device is PC)\n"},
    {Shown::Both, "     -r            reboot PC, panel or converter after action if required\n"},
    {Shown::Both, "     -v            don't verify data after update/save\n"},
    {Shown::Both, "     -y            overwrite or delete files and data or downgrade firmware\n"},
    {Shown::Both, "     -h            show this text\n"},
    {Shown::Both, "     -?            show short help\n"},
    {Shown::Both, "Exit codes:\n"},
    {Shown::Both, "  0 = no error\n"},
    {Shown::Both, "  1 = invalid command line argument\n"},
    {Shown::Both, "  2 = file open failed\n"},
    {Shown::Both, "  3 = file read failed\n"},
    {Shown::Both, "  4 = file write failed\n"},
    {Shown::Both, "  5 = general file error: file size, seek\n"},
    {Shown::Both, "  6 = DRUX function failed\n"},
    {Shown::Both, "  7 = function cancelled\n"},
    {Shown::Both, "  8 = version conflict\n"},
    {Shown::Both, "  9 = invalid data (e.g. checksum)\n"},
    {Shown::Both, " 10 = error at verify\n"},
    {Shown::Both, " 11 = device (e.g. panel) is not connected (linked)\n"},
    {Shown::Both, " 12 = device (e.g. KVN Transmitter) does not exist\n"},
    {Shown::Both, " 13 = type mismatch (e.g. update with wrong file)\n"},
    {Shown::Both, " 14 = automatic restart failed\n"},
    {Shown::Both, " 15 = function is not supported\n"},
    {Shown::Both, " 16 = reboot needed\n"},
    {Shown::Both, "Examples:\n"},
    {Shown::Both, "a) Update key configuration:\n"},
    {Shown::Both, "   %s u kcf codes.kcf\n"},
    {Shown::Both, "b) Save FPGA firmware of link module on first connected Teleo Panel:\n"},
    {Shown::Both, "   %s s link link.bin -p=0\n"},
    {Shown::Both, "c) Show version of DRUX firmware:\n"},
    {Shown::Both, "   %s i drux\n"},
    {Shown::Both, "d) Change user serial ID:\n"},
    {Shown::Both, "   %s c uid 08154711\n"},
    {Shown::FullOnly, "e) Update factory settings of PC:\n"},
    {Shown::FullOnly, "   %s u fset 13be0101.bin\n"},
};

constexpr int kLinesPerPage = 30;

// Pager state for the whole run: output starts on, with no line counted.
int pagedLines = 0;
bool pagerQuit = false;

bool IsShown(const FeatureSet& features, const HelpLine& line) {
  switch (line.shown) {
    case Shown::Both:
      return true;
    case Shown::ServiceOnly:
      return !features.full;
    case Shown::FullOnly:
      return features.full;
  }
  return false;
}

}  // namespace

void PrintVersionLine(const FeatureSet& features) {
  platform::Print("%s%s\n", features.version, kCopyrightNotice);
}

void ShortHelp(const FeatureSet& features) {
  PrintVersionLine(features);
  for (const HelpLine& line : kShortHelp) {
    if (IsShown(features, line)) {
      platform::Print(line.format, features.programName);
    }
  }
}

void LongHelp(const FeatureSet& features) {
  char versionLine[128];
  platform::FormatString(versionLine, sizeof(versionLine), "%s%s\n", features.version,
                         kCopyrightNotice);
  PagedPrint("%s", versionLine);
  for (const HelpLine& line : kLongHelp) {
    if (IsShown(features, line)) {
      PagedPrint(line.format, features.programName);
    }
  }
}

void PagedPrint(const char* format, const char* argument) {
  if (pagerQuit) {
    return;
  }
  platform::Print(format, argument);
  ++pagedLines;
  if (pagedLines % kLinesPerPage == 0) {
    platform::Flush(platform::Stream::Out);
    if (!ContinueOrQuit()) {
      pagerQuit = true;
    }
  }
}

bool ContinueOrQuit() {
  platform::Print("Press Enter to continue or q to quit: ");
  platform::Flush(platform::Stream::Out);
  for (;;) {
    int c = ReadConsoleChar();
    // Nobody is left to answer at the end of input: show the rest rather than cut it off.
    if (c == platform::kEndOfInput || c == '\n') {
      return true;
    }
    if (c == 'q' || c == 'Q') {
      return false;
    }
  }
}

}  // namespace drux
