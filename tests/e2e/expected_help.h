// The help texts as the user must see them, written out line by line. The service set's texts
// are the full set's with their documented differences, built here from the full lines.
#pragma once

#include <string>
#include <vector>

#include "frontend/help.h"

namespace drux::test {

inline std::string VersionLine(bool full) {
  return std::string(full ? "Version: 19.5 FSET Update" : "Version: 19.5.2") + kCopyrightNotice +
         "\n";
}

inline std::vector<std::string> ShortHelpLines(bool full) {
  std::vector<std::string> lines{VersionLine(full)};
  if (full) {
    lines.push_back("Syntax: DRUXSVCADMIN [<action>] [<datatype>] [<fname>|<setting>] [<opts>]\n");
  } else {
    lines.push_back("Syntax: DRUXSVC <action> <datatype> [<fname>|<setting>] [<opts>]\n");
  }
  lines.push_back("Function: DRUX service utility\n");
  lines.push_back("Arguments:\n");
  lines.push_back("     action        I[nfo], U[pdate], S[ave], D[elete], C[hange]\n");
  if (full) {
    lines.push_back(
        "     datatype      ALL, BIOSSET, CONV[FPGA], FANFSET, FAN2FSET, FLASH, FSET,\n");
    lines.push_back(
        "                   HDBT, KCF, LINKBLDR, LINK[FPGA], LINKIFILE, DRUX[FW], STAT,\n");
    lines.push_back("                   SYS[TEM], SYS[TEM]2, SYS[TEM3], UID, USER\n");
  } else {
    lines.push_back("     datatype      ALL, BIOSSET, CONV[FPGA], FANFSET, FAN2FSET,\n");
    lines.push_back(
        "                   HDBT, KCF, LINK[FPGA], LINKIFILE, DRUX[FW], STAT, UID, USER\n");
  }
  lines.push_back("     fname         file name (default: determined automatically)\n");
  lines.push_back("     setting       a) user serial ID (0 to FFFFFFFF)\n");
  lines.push_back("                   b) BIOS setting (BOOT=BIOS|legacy|UEFI, HV=BIOS|enabled,\n");
  if (full) {
    lines.push_back(
        "                   RT=BIOS|enabled, SATA=BIOS|IDE|RAID|AHCI, TPM=BIOS|dTPM|fTPM, "
        "UEFI=BIOS|only,\n");
    lines.push_back("                   USBPWR=BIOS|on)\n");
    lines.push_back(
        "                   c) factory setting (COMPID=<compatibility ID>, DEVID=<device ID>,\n");
    lines.push_back("                   HWREV=<hardware revision>, MODNUM=<model number>,\n");
    lines.push_back(
        "                   PCOMPID=<parent compatibility ID>, PDEVID=<parent device ID>,\n");
    lines.push_back("                   SERNUM=<serial number>)\n");
  } else {
    lines.push_back(
        "                   RT=BIOS|enabled, SATA=BIOS|IDE|RAID|AHCI, TPM=BIOS|dTPM|fTPM, "
        "USBPWR=BIOS|on)\n");
  }
  lines.push_back("Options:\n");
  lines.push_back("     -d            debug mode: show DRUX flash and EEPROM R/W data\n");
  if (full) {
    lines.push_back("     -m=<module>   module number (0 to 15)\n");
  }
  lines.push_back("     -p=<panel>    panel number (0 to 15; default: target device is PC)\n");
  lines.push_back("     -r            reboot PC, panel or converter after action if required\n");
  lines.push_back("     -v            don't verify data after update/save\n");
  lines.push_back("     -y            overwrite or delete files and data or downgrade firmware\n");
  lines.push_back("     -h            show long help\n");
  lines.push_back("     -?            show this text\n");
  return lines;
}

// Lines of the full set's long help, numbered from 1 in the comments where the service set
// differs.
inline std::vector<std::string> LongHelpLines(bool full) {
  const std::string name = full ? "DRUXSVCADMIN" : "DRUXSVC";
  struct Line {
    bool fullOnly;
    std::string text;
  };
  const std::vector<Line> all = {
      {false, VersionLine(full)},
      {false, full ? "Syntax: DRUXSVCADMIN [<action>] [<datatype>] [<fname>|<setting>] [<opts>]\n"
                   : "Syntax: DRUXSVC <action> <datatype> [<fname>|<setting>] [<opts>]\n"},
      {false, "Function: DRUX service utility\n"},
      {false, kSupportedPcModels},
      {false, kSupportedPanelTypes},
      {false, kSupportedLinkGenerations},
      {false, "Arguments:\n"},
      {false, "     action        action to perform:\n"},
      {false, "                   C[hange]   = change data\n"},
      {false, "                   D[elete]   = delete data\n"},
      {false, "                   I[nfo]     = show info about data\n"},
      {false, "                   S[ave]     = save data to file\n"},
      {false, "                   U[pdate]   = update data with file\n"},
      {false, "     datatype      data type (+ supported actions):\n"},
      {false, "                   ALL        = all below (I)\n"},
      {false, "                   BIOSSET    = BIOS settings (C,I)\n"},
      {false, "                   FANFSET    = fan unit factory settings (D,I,U)\n"},
      {false, "                   CONV[FPGA] = link converter FPGA firmware (I,S,U)\n"},
      {false, "                   FAN2FSET   = 2nd (bus) fan unit factory settings (D,I,U)\n"},
      {true, "                   FLASH      = complete flash (I,S,U)\n"},
      {true, "                   FSET       = factory settings (C,D,I,S,U)\n"},
      {false, "                   HDBT[FW]   = HDBaseT firmware (I,U)\n"},
      {false, "                   KCF        = key configuration (D,I,S,U)\n"},
      {true, "                   LINKBLDR   = link transmitter bootloader (S,U)\n"},
      {false, "                   LINK[FPGA] = link transmitter/receiver FPGA firmware (I,S,U)\n"},
      {false, "                   LINKIFILE  = link transmitter FPGA (complete) (U)\n"},
      {false, "                   DRUX[FW]   = DRUX firmware (I,S,U)\n"},
      {false, "                   STAT       = statistics values (I)\n"},
      {true, "                   SYS[TEM]   = system data (D,I,S,U)\n"},
      {true, "                   SYS[TEM]2  = 2nd system data (D,I,S,U)\n"},
      {true, "                   SYS[TEM]3  = 3rd system data (D,I,S,U)\n"},
      {false, "                   UID        = user serial ID (C,I)\n"},
      {false, "                   USER       = user data (D,I,S,U)\n"},
      {false, "     fname         file name (default: determined automatically)\n"},
      {false, "     setting       a) user serial ID (0 to FFFFFFFF)\n"},
      {false, "                   b) BIOS setting:\n"},
      {false, "                   BOOT=<boot mode> (BIOS|legacy|UEFI)\n"},
      {false, "                   HV=<hypervisor environment> (BIOS|enabled)\n"},
      {false, "                   RT=<realtime environment> (BIOS|enabled)\n"},
      {false, "                   SATA=<SATA mode> (BIOS|AHCI|IDE|RAID)\n"},
      {false, "                   TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"},
      {true, "                   UEFI=<UEFI boot> (BIOS|only)\n"},
      {false, "                   USBPWR=<USB standby power> (BIOS|on)\n"},
      {false, "                   Note: '=BIOS' uses value set in BIOS\n"},
      {false, "                   Note: support of setting depends on PC type!\n"},
      {false, "                   c) factory setting:\n"},
      {false, "                   COMPID=<compatibility ID> (1 to 4 hex digits)\n"},
      {false, "                   DEVID=<device ID> (1 to 8 hex digits)\n"},
      {false, "                   HWREV=<hardware revision>  (1 to 4 characters)\n"},
      {false, "                   MODNUM=<model number> (1 to 40 characters)\n"},
      {false, "                   PCOMPID=<parent compatibility ID> (1 to 4 hex digits)\n"},
      {false, "                   PDEVID=<parent device ID> (1 to 8 hex digits)\n"},
      {false, "                   SERNUM=<serial number> (1 to 11 characters)\n"},
      {false, "Options:\n"},
      {false, "     -d            debug mode: show DRUX R/W command data\n"},
      {true, "     -m=<module>   module number (0 to 15)\n"},
      {false, "     -p=<panel>    panel number (0 to 15 = connected Teleo Panel;\n"},
      {false, "                   default: target device is PC)\n"},
      {false, "     -r            reboot PC, panel or converter after action if required\n"},
      {false, "     -v            don't verify data after update/save\n"},
      {false, "     -y            overwrite or delete files and data or downgrade firmware\n"},
      {false, "     -h            show this text\n"},
      {false, "     -?            show short help\n"},
      {false, "Exit codes:\n"},
      {false, "  0 = no error\n"},
      {false, "  1 = invalid command line argument\n"},
      {false, "  2 = file open failed\n"},
      {false, "  3 = file read failed\n"},
      {false, "  4 = file write failed\n"},
      {false, "  5 = general file error: file size, seek\n"},
      {false, "  6 = DRUX function failed\n"},
      {false, "  7 = function cancelled\n"},
      {false, "  8 = version conflict\n"},
      {false, "  9 = invalid data (e.g. checksum)\n"},
      {false, " 10 = error at verify\n"},
      {false, " 11 = device (e.g. panel) is not connected (linked)\n"},
      {false, " 12 = device (e.g. KVN Transmitter) does not exist\n"},
      {false, " 13 = type mismatch (e.g. update with wrong file)\n"},
      {false, " 14 = automatic restart failed\n"},
      {false, " 15 = function is not supported\n"},
      {false, " 16 = reboot needed\n"},
      {false, "Examples:\n"},
      {false, "a) Update key configuration:\n"},
      {false, "   " + name + " u kcf codes.kcf\n"},
      {false, "b) Save FPGA firmware of link module on first connected Teleo Panel:\n"},
      {false, "   " + name + " s link link.bin -p=0\n"},
      {false, "c) Show version of DRUX firmware:\n"},
      {false, "   " + name + " i drux\n"},
      {false, "d) Change user serial ID:\n"},
      {false, "   " + name + " c uid 08154711\n"},
      {true, "e) Update factory settings of PC:\n"},
      {true, "   " + name + " u fset 13be0101.bin\n"},
  };
  std::vector<std::string> lines;
  for (const Line& line : all) {
    if (full || !line.fullOnly) {
      lines.push_back(line.text);
    }
  }
  return lines;
}

inline std::string Joined(const std::vector<std::string>& lines, size_t from = 0,
                          size_t to = std::string::npos) {
  std::string text;
  for (size_t i = from; i < lines.size() && i < to; ++i) {
    text += lines[i];
  }
  return text;
}

inline std::string ShortHelp(bool full) {
  return Joined(ShortHelpLines(full));
}

inline constexpr const char* kPagerPrompt = "Press Enter to continue or q to quit: ";

}  // namespace drux::test
