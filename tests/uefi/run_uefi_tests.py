#!/usr/bin/env python3
"""UEFI shell test of the real images.

Boots OVMF's UEFI shell in QEMU once; a startup.nsh script runs every request of RUNS below,
echoing a marker and %lasterror% around each. Standard output and the error stream of most
runs go into files (>a, 2>a) that are read back from the FAT disk with mcopy; runs that must
answer prompts stay on the console, where this driver waits for each prompt text before it
types the answer.

The images with the simulated controller keep their machine in a folder on the FAT disk. That
folder is made here on the host with druxsim; the host programs run the same requests in the
same order against a copy of it, and everything must agree: each run's streams and exit code,
Info ALL's report file, the factory-settings EEPROM that druxsvcadmin's fixed run corrects,
the simulator's state and its command log.

The platform conformance program runs here on the host and in the shell, and both result
files must agree.

Exit code: 0 passed, 1 failed, 77 skipped (a tool is missing; CTest shows the reason).
"""

import argparse
import dataclasses
import datetime
import difflib
import os
import re
import shutil
import subprocess
import sys
import threading
import time

SKIPPED = 77
OVMF_CANDIDATES = ["/usr/share/ovmf/OVMF.fd", "/usr/share/qemu/OVMF.fd", "/usr/share/OVMF/OVMF.fd"]
RTC_BASE = "2024-02-29T12:00:00"  # a leap day, so the clock test sees the date arithmetic
QEMU_TIMEOUT_SECONDS = 120
PROMPT_TIMEOUT_SECONDS = 60
END_MARKER = "=== END OF SCRIPT"
ANSI_ESCAPE = re.compile(r"\x1b\[[0-9;=?]*[A-Za-z]")

PAGE_PROMPT = "Press Enter to continue or q to quit: "


@dataclasses.dataclass
class Run:
    """One program run of the script and what it must show."""

    name: str  # marker and stem of its output files
    command: str
    exit_code: int | None  # None: the host twin's exit code
    console: bool = False  # output stays on the console (runs that answer prompts)
    answers: list = dataclasses.field(default_factory=list)  # (prompt text, keys typed)
    out_has: list = dataclasses.field(default_factory=list)
    out_lacks: list = dataclasses.field(default_factory=list)
    out_starts: str | None = None
    out_is: str | None = None
    err_is: str | None = None
    check: object = None  # extra check: function(result, failures)
    # Host program and arguments of the same request against the same simulated machine; its
    # standard output and error stream must equal those in the shell.
    host: list | None = None


def check_long_help_pages(result, failures):
    """The first page holds exactly 30 lines before its prompt."""
    first_page = result.out.split(PAGE_PROMPT)[0]
    lines = first_page.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) != 30:
        failures.append(f"{result.run.name}: first page has {len(lines)} lines, expected 30")


# The simulated PC of the shell's runs, made on the host with druxsim: an EX64 with panel 0 and
# panel 2 as the built-in display of a panel PC, a user serial ID whose record bytes 0-3 must
# survive a change, a module 0 power-on record of 10 quarter hours, and a factory-settings record
# of module 0 whose device ID is one that druxsvcadmin's fixed run corrects, and the factory
# settings of panel 0 itself.
FIXED_DEVICE_ID = 0xF0BE
OLD_PARENT_ID = 0xEF00
CORRECTED_PARENT_ID = 0xEF98
UID_HEAD = 0xCAFE0001
MACHINE_COMMANDS = [
    ["create", "--panel", "0", "--panel", "2:version=0x5886"],
    ["transmitter", "V6K4", "version=1.02", "counter=3"],
    ["converter", "0", "KR3B", "version=1.05", "counter=2"],
    ["set", "uid=0x00c0ffee", f"uid-head={UID_HEAD:#x}", "module.0.power-on=10,7"],
    ["fset", "0", f"devid={FIXED_DEVICE_ID:#x}", f"pdevid={OLD_PARENT_ID:#x}",
     "serial=E64A7654321", "hwrev=B1", "model=DX-EX64-SU00", "version=1.5"],
    # Panel 0's own factory settings, which Info ALL shows from its display block.
    ["fset", "--panel", "0", "devid=0x1234", "compat=7", "serial=P0A00012340", "hwrev=C1",
     "model=DX-PANEL-15", "blockversion=3"],
    # Panel 0 a TPA5 KVN1: its link receiver image lives in the panel flash.
    ["receiver", "0", "0xe05d", "version=0.40", "protect=0"],
]
# The receiver update's file, under the name the program proposes for that panel (the shell
# reads '#' as a comment, so the run leaves the name to the program).
RECEIVER_FILE = "0018#0.fp"
RECEIVER_IMAGE = ["--format", "old", "--id", "KVN8", "--version", "0.41", "--size", "0x20000",
                  "--xml", "18:#"]
SIM_DIR = "simpc"
# A converter image without XML header, written by druxsim, for the converter update.
CONVERTER_IMAGE = "kr3b.bin"
CONVERTER_IMAGE_OPTIONS = ["--id", "KR3B", "--version", "1.08", "--size", "0xa0000"]
REPORT = "report.txt"
# Longer than the report, so that a report file which is not truncated shows.
STALE_REPORT = "".join(f"stale line {n} of an earlier report\n" for n in range(400))

RUNS = [
    Run("svc_none", "druxsvc.efi", 1,
        out_has=["Syntax: DRUXSVC <action> <datatype> [<fname>|<setting>] [<opts>]"],
        out_starts="Version: 19.5.2", err_is="ERROR: Action missing.\n"),
    # The shell turns any argument "-?" (quoted or escaped too) into its own help command for
    # the program, so the short help is asked for with the other option prefix.
    Run("svc_short_help", "druxsvc.efi /?", 0,
        out_starts="Version: 19.5.2", out_has=["Syntax: DRUXSVC "], out_lacks=[PAGE_PROMPT],
        err_is=""),
    Run("svc_info_drux", "druxsvc.efi i drux", 6, out_is="", err_is="ERROR: DRUX not found.\n"),
    Run("svc_long_help", "druxsvc.efi -h", 0, console=True,
        answers=[(PAGE_PROMPT, "\r"), (PAGE_PROMPT, "q\r")],
        out_has=["Version: 19.5.2", "Syntax: DRUXSVC "], check=check_long_help_pages),
    Run("admin_ignores_args", "druxsvcadmin.efi -h", 6, out_starts="Version: 19.5 FSET Update",
        out_lacks=["Syntax:", PAGE_PROMPT], err_is="ERROR: DRUX not found.\n"),
    # From here on the simulated controller, one machine for all runs in this order. The DRUX
    # firmware handler is not part of the programs yet: its exit code is the host twin's.
    Run("sim_info_drux", "druxsvc_sim.efi i drux", None, out_starts="PC is an EX64.\n",
        host=["druxsvc", "i", "drux"]),
    Run("sim_uid_change", "druxsvc_sim.efi c uid 08154711", 0,
        out_starts="PC is an EX64.\nUser Serial ID changed to 0x08154711.\nChange finished.\n"
                   "Total time needed: ",
        err_is="", host=["druxsvc", "c", "uid", "08154711"]),
    Run("sim_uid_show", "druxsvc_sim.efi i uid", 0,
        out_has=["\n-- User Serial ID --\n\nValue: 0x08154711\n"], err_is="",
        host=["druxsvc", "i", "uid"]),
    Run("sim_stat", "druxsvc_sim.efi i stat", 0,
        out_has=["\n-- Statistics values of module 0 (system unit) --\n\n"
                 "Power-on: 2 h 30 min (7 cycles)\n",
                 "\n-- Statistics values of module 8 (fan kit) --\n"],
        out_lacks=["Temperature", "Fan "], err_is="", host=["druxsvc", "i", "stat"]),
    Run("sim_stat_panel", "druxsvc_sim.efi i stat -p=0", 0,
        out_has=["\n-- Statistics values of panel 0 --\n\nBacklight-on: 15230 h (377 cycles)\n"],
        err_is="", host=["druxsvc", "i", "stat", "-p=0"]),
    Run("sim_stat_builtin", "druxsvc_sim.efi i stat -p=2", 0,
        out_has=["Function is not available for built-in display\n"], err_is="",
        host=["druxsvc", "i", "stat", "-p=2"]),
    # The fixed run corrects the parent device ID (result 16, reboot needed, becomes 0); a second
    # run finds it corrected, which shows that the first one's write reached the disk.
    Run("admin_sim_fix", "druxsvcadmin_sim.efi", 0,
        out_starts="Version: 19.5 FSET Update",
        out_has=["PC is an EX64.\nChange factory settings of module 0 (system unit) ...\n"
                 f"Device ID: 0x{FIXED_DEVICE_ID:08x}\n"
                 f"Parent device ID: 0x{OLD_PARENT_ID:08x}\n"
                 f"New parent device ID: 0x{CORRECTED_PARENT_ID:08x}\n",
                 "powered off/on"],
        err_is="", host=["druxsvcadmin"]),
    Run("admin_sim_again", "druxsvcadmin_sim.efi", 7,
        out_has=[f"Parent device ID: 0x{CORRECTED_PARENT_ID:08x}\nParent device ID is OK.\n"],
        out_lacks=["New parent device ID"], err_is="", host=["druxsvcadmin"]),
    Run("sim_receiver_update", "druxsvc_sim.efi u link -p=0 -y", 0,
        out_has=["Update link receiver FPGA firmware of panel 0 ...\n"
                 "FPGA version: 0.40 (0xe05d)\n"
                 f"Read FPGA file: {RECEIVER_FILE}\n",
                 "*** The panel must be powered off/on to take over the changes!***\n"],
        err_is="", host=["druxsvc", "u", "link", "-p=0", "-y"]),
    Run("sim_info_link", "druxsvc_sim.efi i link", 0,
        out_has=["\n-- Link transmitter FPGA firmware --\n\nFPGA ID: V6K4\nFPGA version: 1.02\n"
                 "FPGA booted from: low area\nFPGA CRC state: OK\nFPGA update counter: 3\n"],
        err_is="", host=["druxsvc", "i", "link"]),
    Run("sim_update_conv", f"druxsvc_sim.efi u conv -p=0 {CONVERTER_IMAGE} -y", 0,
        out_has=["File version: 1.08\n",
                 "*** The KVN converter must be powered off/on to take over the changes!***\n"],
        err_is="", host=["druxsvc", "u", "conv", "-p=0", CONVERTER_IMAGE, "-y"]),
    # Into a report file that exists: overwritten without a question; both streams and the
    # total-time line go into it (checked in check_report).
    Run("sim_info_all", f"druxsvc_sim.efi i all {REPORT}", 0,
        out_is=f"PC is an EX64.\nWrite report file: {REPORT}\n", err_is="",
        host=["druxsvc", "i", "all", REPORT]),
]


@dataclasses.dataclass
class Result:
    run: Run
    exit_code: int | None = None
    out: str = ""
    err: str = ""
    console: str = ""


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIPPED)


def find_tool(name):
    found = shutil.which(name)
    if found:
        return found
    for directory in ("/usr/sbin", "/sbin", "/usr/local/sbin"):
        candidate = os.path.join(directory, name)
        if os.access(candidate, os.X_OK):
            return candidate
    return None


def crlf(text):
    return text.replace("\n", "\r\n")


def build_script(runs, conformance_inputs):
    lines = ["@echo -off", "fs0:", "cd \\", f"set DRUXSIM_DIR {SIM_DIR}"]
    for run in runs:
        command = run.command
        if not run.console:
            command += f" >a {run.name}.out 2>a {run.name}.err"
        lines += [f'echo "=== RUN {run.name}"', command,
                  f'echo "=== EXIT {run.name} %lasterror%"']
    for stem, input_name in conformance_inputs:
        lines += [f'echo "=== RUN {stem}"',
                  f"platform_conformance.efi {stem}.txt < {input_name}",
                  f'echo "=== EXIT {stem} %lasterror%"']
    lines += [f'echo "{END_MARKER}"', "reset -s"]
    return crlf("\n".join(lines) + "\n")


class ConsoleDriver:
    """Reads QEMU's serial console and types answers once their prompt has appeared."""

    def __init__(self, process):
        self.process = process
        self.raw = bytearray()
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        while True:
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                return
            with self.lock:
                self.raw += chunk

    def text(self):
        with self.lock:
            raw = bytes(self.raw)
        return ANSI_ESCAPE.sub("", raw.decode("latin-1")).replace("\r", "")

    def wait_for(self, needle, start, deadline):
        while time.monotonic() < deadline:
            position = self.text().find(needle, start)
            if position >= 0:
                return position + len(needle)
            if self.process.poll() is not None:
                return -1
            time.sleep(0.05)
        return -1

    def type(self, keys):
        self.process.stdin.write(keys.encode("ascii"))
        self.process.stdin.flush()


def run_qemu(qemu, ovmf, disk, answers, log_path):
    command = [qemu, "-machine", "q35", "-accel", "tcg", "-m", "256", "-nographic",
               "-no-reboot", "-net", "none", "-bios", ovmf,
               "-rtc", f"base={RTC_BASE},clock=vm",
               "-drive", f"file={disk},format=raw,if=ide"]
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    driver = ConsoleDriver(process)
    deadline = time.monotonic() + QEMU_TIMEOUT_SECONDS
    problems = []
    position = 0
    # Any key but ESC skips the shell's five-second wait before startup.nsh.
    for prompt, keys in [("Press ESC in", " ")] + answers:
        found = driver.wait_for(prompt, position,
                                min(deadline, time.monotonic() + PROMPT_TIMEOUT_SECONDS))
        if found < 0:
            problems.append(f"console: prompt {prompt!r} did not appear")
            break
        position = found
        driver.type(keys)
    if driver.wait_for(END_MARKER, position, deadline) < 0:
        problems.append("console: the script did not reach its end marker")
    try:
        process.wait(timeout=max(1, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        problems.append(f"qemu: still running after {QEMU_TIMEOUT_SECONDS} s, killed")
    driver.reader.join(timeout=5)
    with open(log_path, "w", encoding="latin-1") as log:
        log.write(driver.text())
    return driver.text(), problems


def read_disk_file(disk_dir, name, failures, what):
    """A text file written by the shell or the program: CR LF line ends, ASCII."""
    path = os.path.join(disk_dir, name)
    if not os.path.exists(path):
        failures.append(f"{what}: {name} is missing on the disk")
        return ""
    data = open(path, "rb").read()
    if re.search(rb"(?<!\r)\n", data):
        failures.append(f"{what}: {name} has a line end without CR")
    return data.replace(b"\r\n", b"\n").decode("latin-1")


def console_section(console, name):
    match = re.search(rf"=== RUN {re.escape(name)}\n(.*?)=== EXIT {re.escape(name)} (\S+)",
                      console, re.S)
    if not match:
        return None, None
    return match.group(1), match.group(2)


def check_run(run, console, disk_dir, failures):
    result = Result(run)
    section, code = console_section(console, run.name)
    if section is None:
        failures.append(f"{run.name}: no markers in the console log")
        return result
    result.console = section
    try:
        result.exit_code = int(code, 16)
    except ValueError:
        failures.append(f"{run.name}: unreadable exit code {code!r}")
    if run.exit_code is not None and result.exit_code != run.exit_code:
        failures.append(f"{run.name}: exit code {result.exit_code}, expected {run.exit_code}")
    if run.console:
        result.out = section
    else:
        result.out = read_disk_file(disk_dir, f"{run.name}.out", failures, run.name)
        result.err = read_disk_file(disk_dir, f"{run.name}.err", failures, run.name)
        if run.err_is is not None and result.err != run.err_is:
            failures.append(f"{run.name}: error stream {result.err!r}, expected {run.err_is!r}")
        if run.out_is is not None and result.out != run.out_is:
            failures.append(f"{run.name}: output {result.out!r}, expected {run.out_is!r}")
    for text in run.out_has:
        if text not in result.out:
            failures.append(f"{run.name}: output lacks {text!r}")
    for text in run.out_lacks:
        if text in result.out:
            failures.append(f"{run.name}: output has {text!r}")
    if run.out_starts is not None and not result.out.startswith(run.out_starts):
        failures.append(f"{run.name}: output starts {result.out[:60]!r}, "
                        f"expected {run.out_starts!r}")
    if run.answers:
        prompts = result.out.count(PAGE_PROMPT)
        if prompts != len(run.answers):
            failures.append(f"{run.name}: {prompts} prompts, expected {len(run.answers)}")
        else:
            # Something was shown after Enter, and nothing after q.
            pieces = result.out.split(PAGE_PROMPT)
            if not pieces[1].strip():
                failures.append(f"{run.name}: nothing printed after Enter")
            # Only the echo of the typed q may follow the last prompt.
            if pieces[-1].strip() != "q":
                failures.append(f"{run.name}: printed after q: {pieces[-1].strip()[:80]!r}")
    if run.check:
        run.check(result, failures)
    return result



def write_inputs(directory):
    lines = ["first line", "", "  spaced out  ", "yes", "Y", "x" * 120, "last line without end"]
    crlf_text = "\r\n".join(lines)
    lf_text = "\n".join(lines)
    with open(os.path.join(directory, "input_crlf.txt"), "wb") as f:
        f.write(crlf_text.encode("ascii"))
    with open(os.path.join(directory, "input_ucs2.txt"), "wb") as f:
        f.write(b"\xff\xfe" + lf_text.encode("utf-16-le"))
    with open(os.path.join(directory, "input_lf.txt"), "wb") as f:
        f.write(lf_text.encode("ascii"))


def run_host_conformance(program, work, failures):
    host_dir = os.path.join(work, "host")
    os.makedirs(host_dir)
    with open(os.path.join(work, "input_lf.txt"), "rb") as stdin:
        completed = subprocess.run([program, "conform.txt"], cwd=host_dir, stdin=stdin,
                                   capture_output=True, timeout=60)
    if completed.returncode != 3:
        failures.append(f"host conformance: exit code {completed.returncode}, expected 3: "
                        f"{completed.stderr.decode(errors='replace')}")
    return host_dir


TOTAL_TIME = re.compile(r"Total time needed: (< 1 second|\d+ seconds)")


def without_total_time(text):
    """The time an action takes differs between the host and the emulated machine."""
    return TOTAL_TIME.sub("Total time needed: <time>", text)


def druxsim(tool, directory, arguments, failures):
    """A druxsim command on a machine directory; its standard output, None when it failed."""
    completed = subprocess.run([tool, "--dir", directory] + arguments, capture_output=True,
                               timeout=60)
    if completed.returncode != 0:
        failures.append(f"druxsim {' '.join(arguments)} on {directory}: exit code "
                        f"{completed.returncode}: {completed.stderr.decode(errors='replace')}")
        return None
    return completed.stdout.decode("latin-1")


def prepare_machine(tool, work, failures):
    """The shell's machine directory and two identical copies: one for the host twins, one that
    stays as it was."""
    directory = os.path.join(work, SIM_DIR)
    for arguments in MACHINE_COMMANDS:
        if druxsim(tool, directory, arguments, failures) is None:
            return None
    for name, options in ((CONVERTER_IMAGE, CONVERTER_IMAGE_OPTIONS),
                          (RECEIVER_FILE, RECEIVER_IMAGE)):
        if druxsim(tool, directory, ["image", os.path.join(work, name)] + options,
                   failures) is None:
            return None
    for copy in ("host_simpc", "pristine_simpc"):
        shutil.copytree(directory, os.path.join(work, copy))
    return directory


def run_host_programs(runs, programs, work):
    """Runs the host twins of the shell's simulated runs, in the script's order and against a
    copy of the shell's machine directory, in a folder that holds the same stale report and
    the same image files."""
    outputs = {}
    run_dir = os.path.join(work, "host_runs")
    os.makedirs(run_dir)
    shutil.copy(os.path.join(work, RECEIVER_FILE), run_dir)
    shutil.copy(os.path.join(work, CONVERTER_IMAGE), run_dir)
    with open(os.path.join(run_dir, REPORT), "w") as report:
        report.write(STALE_REPORT)
    environment = dict(os.environ, DRUXSIM_DIR=os.path.join(work, "host_simpc"))
    for run in runs:
        if run.host is None:
            continue
        program = os.path.join(programs, run.host[0])
        completed = subprocess.run([program] + run.host[1:], cwd=run_dir, env=environment,
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        outputs[run.name] = (completed.returncode, completed.stdout.decode("latin-1"),
                             completed.stderr.decode("latin-1"))
    return run_dir, outputs


def check_report(host_run_dir, disk_dir, failures):
    """Info ALL's report file in the shell: written over the stale one, the same as the host's
    apart from the time taken."""
    uefi = read_disk_file(disk_dir, REPORT, failures, "report")
    host = open(os.path.join(host_run_dir, REPORT), encoding="latin-1").read()
    if without_total_time(host) != without_total_time(uefi):
        diff = difflib.unified_diff(host.split("\n"), uefi.split("\n"), "host", "uefi",
                                    lineterm="", n=1)
        failures.append("report: differs from the host's:\n" + "\n".join(list(diff)[:40]))
    if "stale line" in uefi:
        failures.append("report: the earlier report file was not overwritten entirely")
    last_line = uefi.rstrip("\n").split("\n")[-1]
    if len(TOTAL_TIME.findall(uefi)) != 1 or not TOTAL_TIME.search(last_line):
        failures.append("report: does not end with the one total-time line")
    # Both streams land in the file; the runs before it show in what it reports.
    for text in ["\n-- User Serial ID --\n\nValue: 0x08154711\n",
                 f"Parent device ID: 0x{CORRECTED_PARENT_ID:08x}\n",
                 "Power-on: 2 h 30 min (7 cycles)\n",
                 "\n-- Statistics values of panel 0 --\n",
                 "\n-- Factory settings of panel 0 --\n\nCheck factory settings of panel 0 ...\n"
                 " Model number: DX-PANEL-15\n Serial number: P0A00012340\n"
                 " Hardware revision: C1\n Device ID: 0x00001234\n Compatibility ID: 0x0007\n",
                 "ERROR: No factory settings available.\n"]:
        if text not in uefi:
            failures.append(f"report: lacks {text!r}")
    if "panel 2" in uefi:
        failures.append("report: shows panel 2, the built-in display")


# Where druxsim's fset command puts the parent device ID and the checksum of a record with the
# default layout: FACT header at 32, parent device ID at FACT offset 81, static length 128.
PARENT_ID_OFFSET = 32 + 81
STATIC_LENGTH = 128


def dump_fset0(tool, directory, target, failures):
    if druxsim(tool, directory, ["dump", "fset:0", target], failures) is None:
        return None
    return open(target, "rb").read()


def check_machine_state(tool, work, disk_dir, failures):
    """The machine directory that the shell's runs left on the FAT disk: the fixed run's
    correction is in the factory-settings EEPROM, and the controller saw exactly what it saw
    from the host twins."""
    uefi_dir = os.path.join(disk_dir, SIM_DIR)
    host_dir = os.path.join(work, "host_simpc")
    if not os.path.isdir(uefi_dir):
        failures.append(f"simulator: {SIM_DIR} is missing on the disk")
        return
    before = dump_fset0(tool, os.path.join(work, "pristine_simpc"),
                        os.path.join(work, "fset0_before.bin"), failures)
    after = dump_fset0(tool, uefi_dir, os.path.join(work, "fset0_uefi.bin"), failures)
    host = dump_fset0(tool, host_dir, os.path.join(work, "fset0_host.bin"), failures)
    if before is not None and after is not None:
        parent = slice(PARENT_ID_OFFSET, PARENT_ID_OFFSET + 4)
        if before[parent] != OLD_PARENT_ID.to_bytes(4, "little"):
            failures.append(f"fset:0: the prepared record has {before[parent].hex()} where the "
                            f"parent device ID should be")
        if after[parent] != CORRECTED_PARENT_ID.to_bytes(4, "little"):
            failures.append(f"fset:0: parent device ID bytes {after[parent].hex()} after the "
                            f"fixed run, expected 0x{CORRECTED_PARENT_ID:04x}")
        if sum(after[:STATIC_LENGTH]) % 256 != 0:
            failures.append("fset:0: the static checksum is wrong after the fixed run")
        changed = [i for i in range(len(before)) if before[i] != after[i]]
        allowed = set(range(parent.start, parent.stop)) | {STATIC_LENGTH - 1}
        if not set(changed) <= allowed:
            failures.append(f"fset:0: bytes changed outside the parent ID and the checksum: "
                            f"{sorted(set(changed) - allowed)[:16]}")
    if after is not None and host is not None and after != host:
        failures.append("fset:0: differs from the host twins' machine")
    uefi_show = druxsim(tool, uefi_dir, ["show"], failures)
    host_show = druxsim(tool, host_dir, ["show"], failures)
    if uefi_show is not None and host_show is not None:
        # Bytes 0-3 of the user serial ID record were written back as they were read.
        expected = rf"User serial ID:\s+0x08154711 \(record bytes 0-3: 0x{UID_HEAD:08x}\)"
        if not re.search(expected, uefi_show, re.I):
            failures.append(f"simulator: show lacks {expected!r}")
        # Same registers, counters, port accesses and log length; only the folder differs.
        if uefi_show.split("\n")[1:] != host_show.split("\n")[1:]:
            diff = difflib.unified_diff(host_show.split("\n"), uefi_show.split("\n"), "host",
                                        "uefi", lineterm="", n=0)
            failures.append("simulator: state differs from the host twins':\n" + "\n".join(diff))
    uefi_log = druxsim(tool, uefi_dir, ["log"], failures)
    host_log = druxsim(tool, host_dir, ["log"], failures)
    if uefi_log is not None and host_log is not None and uefi_log != host_log:
        diff = difflib.unified_diff(host_log.split("\n"), uefi_log.split("\n"), "host", "uefi",
                                    lineterm="", n=1)
        failures.append("simulator: command log differs from the host twins':\n" +
                        "\n".join(list(diff)[:40]))


def check_same_as_host(result, host_outputs, failures):
    name = result.run.name
    code, out, err = host_outputs[name]
    if code != result.exit_code:
        failures.append(f"{name}: exit code {result.exit_code}, on the host {code}")
    for stream, host_text, uefi_text in (("output", out, result.out), ("error stream", err,
                                                                        result.err)):
        if without_total_time(host_text) != without_total_time(uefi_text):
            diff = difflib.unified_diff(host_text.split("\n"), uefi_text.split("\n"), "host",
                                        "uefi", lineterm="", n=1)
            failures.append(f"{name}: {stream} differs from the host:\n" + "\n".join(diff))


def split_variable_lines(text):
    fixed = [line for line in text.split("\n") if not line.startswith("~")]
    variable = dict(line[1:].split(" ", 1) for line in text.split("\n") if line.startswith("~"))
    return "\n".join(fixed), variable


def check_conformance(stem, host_dir, disk_dir, console, failures):
    section, code = console_section(console, stem)
    if section is None:
        failures.append(f"{stem}: no markers in the console log")
        return
    if code != "0x3":
        failures.append(f"{stem}: exit code {code}, expected 0x3")
    for text in ["conformance: console before the report file",
                 "conformance: error stream before the report file"]:
        if text not in section:
            failures.append(f"{stem}: console lacks {text!r}")
    host_text = open(os.path.join(host_dir, "conform.txt"), encoding="latin-1").read()
    uefi_text = read_disk_file(disk_dir, f"{stem}.txt", failures, stem)
    host_fixed, _ = split_variable_lines(host_text)
    uefi_fixed, variable = split_variable_lines(uefi_text)
    if host_fixed != uefi_fixed:
        diff = difflib.unified_diff(host_fixed.split("\n"), uefi_fixed.split("\n"), "host",
                                    "uefi", lineterm="", n=1)
        failures.append(f"{stem}: results differ from the host:\n" + "\n".join(diff))
    base = datetime.datetime.fromisoformat(RTC_BASE)
    if variable.get("date") != base.strftime("%Y-%m-%d"):
        failures.append(f"{stem}: date {variable.get('date')}, expected {base:%Y-%m-%d}")
    base_seconds = int(base.replace(tzinfo=datetime.timezone.utc).timestamp())
    seconds = int(variable.get("seconds", "0"))
    if not base_seconds <= seconds <= base_seconds + QEMU_TIMEOUT_SECONDS:
        failures.append(f"{stem}: calendar seconds {seconds}, expected from {base_seconds} "
                        f"on (the virtual clock starts at {RTC_BASE})")


def check_text_files(host_dir, disk_dir, failures):
    expected = {
        "cf_text.txt": "first line\nsecond line\nthird line\n",
        "cf_trunc.txt": "short\n",  # the longer text before must be gone: "wt" truncates
    }
    for name, text in expected.items():
        host = open(os.path.join(host_dir, name), "rb").read()
        if host != text.encode("ascii"):
            failures.append(f"host {name}: {host!r}")
        path = os.path.join(disk_dir, name)
        uefi = open(path, "rb").read() if os.path.exists(path) else None
        if uefi != crlf(text).encode("ascii"):
            failures.append(f"uefi {name}: {uefi!r}, expected {crlf(text).encode('ascii')!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--images", required=True, help="folder of the .efi images")
    parser.add_argument("--host-conformance", required=True)
    parser.add_argument("--host-programs", required=True, help="folder of druxsvc, druxsvcadmin")
    parser.add_argument("--druxsim", required=True, help="the simulator tool of the host build")
    parser.add_argument("--work", required=True, help="scratch folder (emptied)")
    parser.add_argument("--missing", default="", help="why the images were not built")
    args = parser.parse_args()
    args.images = os.path.abspath(args.images)
    args.host_conformance = os.path.abspath(args.host_conformance)
    args.host_programs = os.path.abspath(args.host_programs)
    args.druxsim = os.path.abspath(args.druxsim)
    args.work = os.path.abspath(args.work)

    if args.missing:
        skip(f"UEFI images not built: {args.missing}")
    tools = {name: find_tool(name) for name in ("qemu-system-x86_64", "mkfs.fat", "mcopy")}
    for name, path in tools.items():
        if path is None:
            skip(f"{name} not found (packages qemu-system-x86, dosfstools, mtools)")
    ovmf = next((path for path in OVMF_CANDIDATES if os.path.exists(path)), None)
    if ovmf is None:
        skip("OVMF firmware not found (package ovmf)")

    started = time.monotonic()
    failures = []
    images = ["druxsvc.efi", "druxsvcadmin.efi", "druxsvc_sim.efi", "druxsvcadmin_sim.efi",
              "platform_conformance.efi"]
    for image in images:
        if not os.path.exists(os.path.join(args.images, image)):
            failures.append(f"image {image} was not built")
    if failures:
        print("\n".join(failures))
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    write_inputs(args.work)
    host_dir = run_host_conformance(args.host_conformance, args.work, failures)
    machine = prepare_machine(args.druxsim, args.work, failures)
    if machine is None:
        print("\n".join(failures))
        return 1
    host_run_dir, host_outputs = run_host_programs(RUNS, args.host_programs, args.work)
    stale_report = os.path.join(args.work, REPORT)
    with open(stale_report, "w", newline="") as f:
        f.write(crlf(STALE_REPORT))

    conformance_inputs = [("conform_crlf", "input_crlf.txt"), ("conform_ucs2", "input_ucs2.txt")]
    script = os.path.join(args.work, "startup.nsh")
    with open(script, "w", newline="") as f:
        f.write(build_script(RUNS, conformance_inputs))
    disk = os.path.join(args.work, "esp.img")
    with open(disk, "wb") as f:
        f.truncate(64 * 1024 * 1024)
    subprocess.run([tools["mkfs.fat"], "-F", "16", "-n", "DRUX", disk], check=True,
                   stdout=subprocess.DEVNULL)
    files = [os.path.join(args.images, image) for image in images]
    files += [script, stale_report, machine, os.path.join(args.work, RECEIVER_FILE),
              os.path.join(args.work, CONVERTER_IMAGE)]
    files += [os.path.join(args.work, name) for _, name in conformance_inputs]
    subprocess.run([tools["mcopy"], "-s", "-i", disk] + files + ["::/"], check=True)

    answers = [answer for run in RUNS for answer in run.answers]
    console, problems = run_qemu(tools["qemu-system-x86_64"], ovmf, disk, answers,
                                 os.path.join(args.work, "console.log"))
    failures += problems
    disk_dir = os.path.join(args.work, "disk")
    os.makedirs(disk_dir)
    subprocess.run([tools["mcopy"], "-n", "-s", "-i", disk, "::/*", disk_dir], check=True)

    for run in RUNS:
        result = check_run(run, console, disk_dir, failures)
        if run.host is not None:
            check_same_as_host(result, host_outputs, failures)
    for stem, _ in conformance_inputs:
        check_conformance(stem, host_dir, disk_dir, console, failures)
    check_text_files(host_dir, disk_dir, failures)
    check_report(host_run_dir, disk_dir, failures)
    check_machine_state(args.druxsim, args.work, disk_dir, failures)

    elapsed = time.monotonic() - started
    if failures:
        print(f"FAILED ({len(failures)} problems, {elapsed:.1f} s; console log: "
              f"{os.path.join(args.work, 'console.log')}):")
        print("\n".join(failures))
        return 1
    print(f"passed: {len(RUNS)} program runs and {len(conformance_inputs)} conformance runs "
          f"in one boot, {elapsed:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
