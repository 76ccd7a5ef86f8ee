// druxsim help.
#include "sim/tool/tool.h"

namespace druxsim {

const char* HelpText() {
  return R"(druxsim - the simulated DRUX controller of the host build

Usage: druxsim [--dir DIR] COMMAND [ARGUMENTS]

The machine lives in a directory: --dir DIR, else $DRUXSIM_DIR, else $HOME/.druxsim.
A directory without a machine simulates the default machine (EX64, 16 channels, panels 0 and 1
connected with their modules, PC modules 0 and 8 fitted, statistics records of each).

Commands:
  create [OPTIONS]            create (or replace) the machine: erased memory, no faults,
                              empty log, zero counters. Options:
      --pc MODEL|CODE           EX41 VP41 EX52 VP52 EX64 VP64 EX53 VP53 EM64 VP47 VP20 or 0-255
      --variant DRUX|DRUU|ABCD|absent   identification letters; absent = no controller
      --channels 1|16           panel channels
      --firmware M.m            firmware version (reply of command 0x10)
      --update-counter N        --system-flags N (bits 8-31)   --features N   --bios N
      --panel N[:connected|:unconnected][:version=V][:link=M.m][:nomodules]
                                a panel (repeatable; replaces the default panels)
      --no-panels               no panels at all
      --no-modules              no PC modules fitted
      --transmitter ID[:KEY=VALUE]...   a link transmitter (keys as for transmitter)
      --converter P:TYPE[:KEY=VALUE]... a link converter on panel P (repeatable)
  show                        everything: configuration, faults, violations, counters
  set KEY=VALUE...            change settings: pc variant present channels firmware
                              update-counter system-flags features bios
                              panel.N.connected panel.N.version panel.N.link panel.N.modules
                              module.N.fitted module.N.id module.N.hwrev module.N.serial
                              module.N.model module.N.parent
                              statistics records of a module (value "none" removes one):
                              module.N.power-on=TIME,CYCLES (also backlight-on, on-battery)
                              module.N.temp-max.S=LOG,ALARM,WORD (also temp-min; S 0-3)
                              module.N.fan.F=RUNNING,CYCLES,TOOSLOW,ALARM (F 0-3)
                              panel.N.module.M.FIELD (any module field, M 0-15)
                              panel.N.backlight-hours panel.N.backlight-cycles
                              uid uid-head pc-device-id pc-parent-id pc-model
                              bios-word=N|none bios-head=N (BIOS settings word, 0x66)
  module N                    print PC module N
  module N FIELD=VALUE...     fit PC module N and set fields: id hwrev serial model parent
                              and the statistics fields above
  module N --remove           remove PC module N
  fault lock                  the interface lock is held by another party, never released
  fault busy CMD COUNT        command CMD answers "device busy" (0x84) COUNT times
  fault error CMD BYTE        command CMD fails with error byte BYTE (until cleared)
  fault hang CMD              command CMD never finishes (state stays 2)
                              busy, error and hang take a last word read or write: only
                              that direction of the command fails
                              error and hang end in --after N: the first N matching
                              commands run normally
  fault clear | fault list    CMD is the code as written (0xa1 for an extended 0xa0) or any
  fault powercut CMD          the power fails as command CMD arrives: the program ends at
                              once (exit code 99), the machine starts again as after
                              powercycle; takes read or write and --after N as error does
  dump AREA FILE [--offset N] [--length N]
  load AREA FILE [--offset N] AREA: flash linkflash panelflash:N display:N
                              link (transmitter flash) and its copies link:low
                              link:high link:running link:idle, link:bootloader;
                              conv:P[:COPY] (converter) pfpga:P:D[:COPY] (panel FPGA D)
                              fset:DEV panelfset:P:DEV (factory-settings EEPROM, 2 KiB)
                              sysdata (system data store of command 0x67, 1 KiB)
                              kcf (key configuration, 64 KiB with one channel, else 256 KiB)
  fset DEV [--panel P] [--offset N] [--display] FIELD=VALUE...
                              write a valid factory-settings record into EEPROM DEV (0-15)
                              of the PC (or of panel P) at byte N; --display puts a display
                              block first and the record 256 bytes later. Fields: devid
                              pdevid compat pcompat serial hwrev model version=M.m; layout
                              static=N sumat=N factat=N badsum=1 (defaults 128, static-1, 32)
  fset --panel N [--display-only|--record-only] FIELD=VALUE...
                              write panel N's own factory settings (command 0x20, target 4):
                              display block at 0, extended record at 256, same fields, and
                              blockversion=V badedid=1 badinternal=1 for the display block
  transmitter                 print the link transmitter (PC module 3)
  transmitter ID [version=M.m] [counter=N] [area=low|high] [parent=V] [devid=V]
                              set it up: FPGA ID, an intact image in the running copy
  transmitter none            remove it
  converter P                 print the link converter of panel P (panel module 2)
  converter P TYPE [version=M.m] [counter=N] [area=low|high] [devid=V]
  converter P none            set it up (KR3B, KR4B ...) or remove it
  receiver P                  print where panel P's link receiver runs, its protection
  receiver P [VERSIONID] [version=M.m] [counter=N] [area=low|high] [modules=0|1] [protect=0|1]
                              set it up: panel type, link FPGA version, an intact image
  hdbt P                      print the HDBaseT module of panel P (module device 4)
  hdbt P [version=M.m] [counter=N] [area=low|high]
  hdbt P none                 set it up (VRTP) or remove it
  powercycle                  every device starts again (pending FPGA updates taken over)
  image FILE [--id ID] [--version M.m|--version-text TEXT] [--counter N] [--state N]
        [--size N] [--format new|old|hdbt] [--seed N] [--xml DEV[:FCT[:VAR[:USE[:MAT]]]]]
        [--xml-ver N] [--xml-len N] [--break header-crc|image-crc|checksum|id|trailer|
        xml-checksum]...      write an image file (no machine needed)
  log [--clear]               executed commands, one a line (the newest 100000)
  log --total                 number of commands logged since the log was cleared
  accesses [--clear]          port access count
  violations [--clear]        protocol violations of the host: count and the last one
  reset                       clear bits 0-11 of the command status register (a left lock)
  help                        this text

Numbers are decimal or 0x-hexadecimal. Exit codes: 0 success, 1 usage error, 2 I/O error.
)";
}

}  // namespace druxsim
