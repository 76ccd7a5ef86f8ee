#!/usr/bin/env python3
"""UEFI test of the images started without the shell.

secure-boot: OVMF with Secure Boot enforced (Debian's secboot code image, the snakeoil
variables with the test key in db, q35 with SMM). One boot tries four disks in this order,
each with the simulated druxsvcadmin as \\EFI\\BOOT\\BOOTX64.EFI and its machine in
\\EFI\\BOOT\\.druxsim: the image unsigned, the signed image with one byte changed, the signed
image on a machine that is already corrected (exit code 7: the firmware gets an error status
and goes on) and the signed image on a machine to correct (exit code 0). The first two must be
refused and their machines untouched; the last two must show what the host program shows,
end with "Exit code: N" and return when a key is pressed.

boot-entry: OVMF without Secure Boot and with a variable store of its own. The first boot
runs a startup.nsh in the shell: the simulated druxsvc without arguments, "u drux" (its prompt
answered) and "i all" on one copy of a machine; then bcfg makes three boot entries, one
without load options and two whose load options (UCS-2 files) ask for the same two requests,
and resets. The firmware then starts the first entry without the shell (exit code 1, so it goes
on) and the second. Before the second boot the image of those two is deleted from the disk, so
the firmware goes on to the third. Shell and shell-less runs must show the same output, and
leave the same machine state behind.

Exit code: 0 passed, 1 failed, 77 skipped (a tool is missing; CTest shows the reason).
"""

import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_uefi_tests as shell_test  # noqa: E402  (the shell test's console driver and helpers)

SECURE_CODE = "/usr/share/OVMF/OVMF_CODE_4M.secboot.fd"
SECURE_VARS = "/usr/share/OVMF/OVMF_VARS_4M.snakeoil.fd"
PLAIN_CODE = "/usr/share/OVMF/OVMF_CODE_4M.fd"
PLAIN_VARS = "/usr/share/OVMF/OVMF_VARS_4M.fd"
QEMU_TIMEOUT_SECONDS = 100
# The program waits 30 s for a key; after one it must hand back at once.
KEY_RETURN_BOUND_SECONDS = 10
# The boot manager's next line, once a boot program has returned.
FIRMWARE_LINE = "BdsDxe: "
EXIT_LINE = re.compile(r"Exit code: (\d+)\n")
MACHINE_FOLDER = ".druxsim"  # the simulated images' machine, beside the image (HOME)

FIXED_DEVICE_ID = 0xF0BE
OLD_PARENT_ID = 0xEF00
CORRECTED_PARENT_ID = 0xEF98


def make_disk(tools, path, files):
    """A FAT disk with files: {path on the disk: host file or folder}, staged on the host."""
    stage = path + ".files"
    for target, source in files.items():
        destination = os.path.join(stage, target)
        os.makedirs(os.path.dirname(destination), exist_ok=True)
        (shutil.copytree if os.path.isdir(source) else shutil.copy)(source, destination)
    with open(path, "wb") as f:
        f.truncate(64 * 1024 * 1024)
    subprocess.run([tools["mkfs.fat"], "-F", "16", "-n", "DRUX", path], check=True,
                   stdout=subprocess.DEVNULL)
    tops = [os.path.join(stage, name) for name in os.listdir(stage)]
    subprocess.run([tools["mcopy"], "-s", "-i", path] + tops + ["::/"], check=True)


def read_back(tools, disk, source, target):
    subprocess.run([tools["mcopy"], "-n", "-s", "-i", disk, "::/" + source, target], check=True)


class Qemu:
    """One QEMU run on the serial console, with the shell test's console driver."""

    def __init__(self, qemu, firmware_args, disks, log_path, reboot=False):
        command = [qemu, "-accel", "tcg", "-m", "256", "-nographic", "-net", "none",
                   "-rtc", f"base={shell_test.RTC_BASE},clock=vm"] + firmware_args
        if not reboot:
            command.append("-no-reboot")
        for index, (disk, serial) in enumerate(disks):
            command += ["-drive", f"id=d{index},file={disk},format=raw,if=none",
                        "-device", f"ide-hd,drive=d{index},bus=ide.{index},serial={serial},"
                                   f"bootindex={index + 1}"]
        self.log_path = log_path
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        self.driver = shell_test.ConsoleDriver(self.process)
        self.started = time.monotonic()
        self.deadline = self.started + QEMU_TIMEOUT_SECONDS
        self.position = 0
        self.timeline = []  # (seconds since the start, text waited for), shown with the result

    def wait_for(self, needle, problems):
        found = self.driver.wait_for(needle, self.position, self.deadline)
        if found < 0:
            problems.append(f"console: {needle!r} did not appear")
            return False
        self.position = found
        self.timeline.append(f"{time.monotonic() - self.started:.1f}s {needle.strip()!r}")
        return True

    def answer(self, prompt, keys, problems):
        if self.wait_for(prompt, problems):
            self.driver.type(keys)
            return True
        return False

    def end_program(self, problems):
        """Waits for the program's last line, presses a key and measures until the boot manager
        takes over again."""
        if not self.wait_for("Exit code: ", problems) or not self.wait_for("\n", problems):
            return
        pressed = time.monotonic()
        self.driver.type(" ")
        if self.wait_for(FIRMWARE_LINE, problems):
            waited = time.monotonic() - pressed
            if waited > KEY_RETURN_BOUND_SECONDS:
                problems.append(f"the program returned {waited:.0f} s after the key")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.driver.reader.join(timeout=5)
        text = self.driver.text()
        with open(self.log_path, "w", encoding="latin-1") as log:
            log.write(text)
        print(f"{os.path.basename(self.log_path)}: " + ", ".join(self.timeline))
        return text


def firmware(work, secure):
    """OVMF as flash with a variable store of its own; Secure Boot needs q35 with SMM."""
    variables = os.path.join(work, "vars.fd")
    shutil.copy(SECURE_VARS if secure else PLAIN_VARS, variables)
    machine = ["-machine", "q35,smm=on", "-global",
               "driver=cfi.pflash01,property=secure,value=on"] if secure else ["-machine", "q35"]
    code = SECURE_CODE if secure else PLAIN_CODE
    return machine + ["-drive", f"if=pflash,format=raw,unit=0,readonly=on,file={code}",
                      "-drive", f"if=pflash,format=raw,unit=1,file={variables}"]


def host_run(program, machine, arguments, cwd, stdin_text=""):
    """The host twin of a run: its output with both streams as the console shows them."""
    completed = subprocess.run([program] + arguments, cwd=cwd, input=stdin_text.encode(),
                               env=dict(os.environ, DRUXSIM_DIR=machine),
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    return completed.returncode, completed.stdout.decode("latin-1")


def program_section(console, start_pattern, failures, what):
    """What a program started by the firmware printed: from the line after the boot manager's
    start line up to its exit line included; the exit code."""
    start = re.search(start_pattern + r"[^\n]*\n", console)
    if start is None:
        failures.append(f"{what}: the firmware did not start it ({start_pattern!r})")
        return None, None
    end = EXIT_LINE.search(console, start.end())
    if end is None:
        failures.append(f"{what}: no exit line")
        return None, None
    return console[start.end():end.end()], int(end.group(1))


def compare_text(what, expected, actual, failures):
    expected = shell_test.without_total_time(expected)
    actual = shell_test.without_total_time(actual)
    if expected != actual:
        diff = shell_test.difflib.unified_diff(expected.split("\n"), actual.split("\n"),
                                               "expected", "actual", lineterm="", n=1)
        failures.append(f"{what}: output differs:\n" + "\n".join(list(diff)[:40]))


def compare_machines(tool, expected_dir, actual_dir, failures, what):
    """Same registers, counters, port accesses and command log; only the folder differs."""
    for command in (["show"], ["log"]):
        expected = shell_test.druxsim(tool, expected_dir, command, failures)
        actual = shell_test.druxsim(tool, actual_dir, command, failures)
        if expected is None or actual is None:
            continue
        skip = 1 if command == ["show"] else 0
        if expected.split("\n")[skip:] != actual.split("\n")[skip:]:
            failures.append(f"{what}: druxsim {command[0]} differs from the expected machine")


def tamper(signed, target):
    data = bytearray(open(signed, "rb").read())
    data[len(data) // 2] ^= 0x01  # inside the code, far from the headers and the signature
    open(target, "wb").write(data)


def test_secure_boot(args, tools, work, failures):
    pristine = os.path.join(work, "pristine")
    shell_test.druxsim(args.druxsim, pristine,
                       ["fset", "0", f"devid={FIXED_DEVICE_ID:#x}", f"pdevid={OLD_PARENT_ID:#x}"],
                       failures)
    host_fix = os.path.join(work, "host_fixed")
    shutil.copytree(pristine, host_fix)
    admin = os.path.join(args.host_programs, "druxsvcadmin")
    fix_code, fix_out = host_run(admin, host_fix, [], work)
    corrected = os.path.join(work, "corrected")
    shutil.copytree(host_fix, corrected)
    again_code, again_out = host_run(admin, host_fix, [], work)
    if (fix_code, again_code) != (0, 7):
        failures.append(f"host druxsvcadmin: exit codes {fix_code}, {again_code}, expected 0, 7")

    unsigned = os.path.join(args.images, "druxsvcadmin_sim.efi")
    tampered = os.path.join(work, "tampered.efi")
    tamper(args.signed_admin, tampered)
    disks = []
    for label, image, machine in (("UNSIGNED", unsigned, pristine),
                                  ("TAMPERED", tampered, pristine),
                                  ("AGAIN", args.signed_admin, corrected),
                                  ("SIGNED", args.signed_admin, pristine)):
        disk = os.path.join(work, f"{label.lower()}.img")
        make_disk(tools, disk, {"EFI/BOOT/BOOTX64.EFI": image,
                                f"EFI/BOOT/{MACHINE_FOLDER}": machine})
        disks.append((disk, label))

    qemu = Qemu(tools["qemu-system-x86_64"], firmware(work, secure=True), disks,
                os.path.join(work, "console.log"))
    problems = []
    qemu.end_program(problems)  # the corrected machine's run
    qemu.end_program(problems)
    console = qemu.stop()
    failures += problems

    for label in ("UNSIGNED", "TAMPERED"):
        refused = rf'failed to load Boot\d+ "UEFI QEMU HARDDISK {label}\s*"[^\n]*: Access Denied'
        if not re.search(refused, console):
            failures.append(f"{label}: not refused by the firmware")
    for label, (code, out) in (("AGAIN", (7, again_out)), ("SIGNED", (0, fix_out))):
        section, exit_code = program_section(
            console, rf'starting Boot\d+ "UEFI QEMU HARDDISK {label}\s*"', failures, label)
        if section is None:
            continue
        compare_text(label, out + f"Exit code: {code}\n", section, failures)
        if exit_code != code:
            failures.append(f"{label}: exit code {exit_code}, expected {code}")
    # An exit code other than 0 reaches the boot manager as an error status with the code in
    # its low bits (the firmware prints those only); it then tries the next disk.
    if not re.search(r'failed to start Boot\d+ "UEFI QEMU HARDDISK AGAIN\s*"[^\n]*: 0+7\n',
                     console):
        failures.append("AGAIN: the firmware did not get an error status with the code 7")

    readback = os.path.join(work, "readback")
    os.makedirs(readback)
    for disk, label in disks:
        target = os.path.join(readback, label)
        read_back(tools, disk, f"EFI/BOOT/{MACHINE_FOLDER}", target)
        if label in ("UNSIGNED", "TAMPERED"):
            comparison = filecmp.dircmp(pristine, target)
            if comparison.diff_files or comparison.left_only or comparison.right_only:
                failures.append(f"{label}: its machine was changed")
    signed_dir = os.path.join(readback, "SIGNED")
    compare_machines(args.druxsim, corrected, signed_dir, failures, "SIGNED machine")
    fset = shell_test.dump_fset0(args.druxsim, signed_dir, os.path.join(work, "fset0.bin"),
                                 failures)
    offset = shell_test.PARENT_ID_OFFSET
    if fset is not None and fset[offset:offset + 4] != CORRECTED_PARENT_ID.to_bytes(4, "little"):
        failures.append(f"SIGNED: parent device ID bytes {fset[offset:offset + 4].hex()}")
    compare_machines(args.druxsim, host_fix, os.path.join(readback, "AGAIN"), failures,
                     "AGAIN machine")


# The firmware file of "u drux": saved from the same machine, so the update asks whether to
# write an equal version.
DRUX_FILE = "04711_0.fw"
UPDATE_PROMPT = "Continue with update (y/n): "
# Load options as bcfg -opt stores them from a file: its bytes, here UCS-2 without a mark. The
# first starts with the program's name, the second quotes a word.
UPDATE_OPTIONS = "UPDATE.EFI u drux"
INFO_OPTIONS = 'i "all"'
SHELL_RUNS = [("shell_none", "druxsvc.efi"), ("shell_update", "druxsvc.efi u drux"),
              ("shell_info", "druxsvc.efi i all")]


def startup_script():
    lines = ["@echo -off", "fs0:", "cd \\EFI\\DRUX", "set DRUXSIM_DIR shellpc"]
    for name, command in SHELL_RUNS:
        lines += [f'echo "=== RUN {name}"', command, f'echo "=== EXIT {name} %lasterror%"']
    lines += ["bcfg boot add 1 fs0:\\EFI\\DRUX\\UPDATE.EFI \"DRUX plain\"",
              "bcfg boot add 2 fs0:\\EFI\\DRUX\\UPDATE.EFI \"DRUX update\"",
              "bcfg boot -opt 2 fs0:\\update.opt",
              "bcfg boot add 3 fs0:\\EFI\\DRUX\\DRUXSVC.EFI \"DRUX info\"",
              "bcfg boot -opt 3 fs0:\\info.opt",
              'echo "=== BOOT ENTRIES MADE"', "reset"]
    return shell_test.crlf("\n".join(lines) + "\n")


def test_boot_entry(args, tools, work, failures):
    machine = os.path.join(work, "machine")
    shell_test.druxsim(args.druxsim, machine, ["set", "uid=0x00c0ffee"], failures)
    scratch = os.path.join(work, "scratch")
    shutil.copytree(machine, scratch)
    code, out = host_run(os.path.join(args.host_programs, "druxsvc"), scratch,
                         ["s", "drux", DRUX_FILE], work)
    if code != 0:
        failures.append(f"host druxsvc s drux: exit code {code}: {out}")
        return
    files = {}
    for name, text in (("update.opt", UPDATE_OPTIONS), ("info.opt", INFO_OPTIONS)):
        path = os.path.join(work, name)
        open(path, "wb").write(text.encode("utf-16-le"))
        files[name] = path
    script = os.path.join(work, "startup.nsh")
    open(script, "w", newline="").write(startup_script())
    sim_image = os.path.join(args.images, "druxsvc_sim.efi")
    files.update({"startup.nsh": script, "EFI/DRUX/DRUXSVC.EFI": sim_image,
                  "EFI/DRUX/UPDATE.EFI": sim_image,
                  f"EFI/DRUX/{DRUX_FILE}": os.path.join(work, DRUX_FILE),
                  f"EFI/DRUX/{MACHINE_FOLDER}": machine, "EFI/DRUX/shellpc": machine})
    disk = os.path.join(work, "stick.img")
    make_disk(tools, disk, files)
    plain = firmware(work, secure=False)

    problems = []
    first = Qemu(tools["qemu-system-x86_64"], plain, [(disk, "STICK")],
                 os.path.join(work, "console1.log"), reboot=True)
    if (first.answer("Press ESC in", " ", problems) and
            first.answer(UPDATE_PROMPT, "y\r", problems) and
            first.wait_for("=== BOOT ENTRIES MADE", problems)):
        first.end_program(problems)
        if first.answer(UPDATE_PROMPT, "y\r", problems):
            first.end_program(problems)
    console = first.stop()
    subprocess.run([tools["mdel"], "-i", disk, "::/EFI/DRUX/UPDATE.EFI"], check=True)
    second = Qemu(tools["qemu-system-x86_64"], plain, [(disk, "STICK")],
                  os.path.join(work, "console2.log"))
    second.end_program(problems)
    console2 = second.stop()
    failures += problems

    shell = {}
    for name, _ in SHELL_RUNS:
        section, code = shell_test.console_section(console, name)
        if section is None or code != ("0x1" if name == "shell_none" else "0x0"):
            failures.append(f"{name}: no section or exit code {code} in the shell")
        shell[name] = section or ""
    # Without load options as without arguments; exit code 1 reaches the firmware as an error.
    plain, plain_code = program_section(console, r'starting Boot\d+ "DRUX plain"', failures,
                                        "boot entry DRUX plain")
    if plain is not None:
        compare_text("DRUX plain: as in the shell", shell["shell_none"] + "Exit code: 1\n", plain,
                     failures)
    if not re.search(r'failed to start Boot\d+ "DRUX plain"[^\n]*: 0+1\n', console):
        failures.append("DRUX plain: the firmware did not get an error status with the code 1")
    update, update_code = program_section(console, r'starting Boot\d+ "DRUX update"', failures,
                                          "boot entry DRUX update")
    if update is not None:
        compare_text("DRUX update: as in the shell", shell["shell_update"] + "Exit code: 0\n",
                     update, failures)
        if UPDATE_PROMPT + "y\n" not in update:
            failures.append("DRUX update: the prompt and its answer are missing")
    if not re.search(r'failed to load Boot\d+ "DRUX update"[^\n]*: Not Found', console2):
        failures.append("second boot: the deleted entry's image was not missed")
    info, info_code = program_section(console2, r'starting Boot\d+ "DRUX info"', failures,
                                      "boot entry DRUX info")
    if info is not None:
        compare_text("DRUX info: as in the shell", shell["shell_info"] + "Exit code: 0\n", info,
                     failures)
        if "\n-- DRUX firmware --\n" not in info:
            failures.append("DRUX info: not the output of i all")
    if (plain_code, update_code, info_code) != (1, 0, 0):
        failures.append(f"boot entries: exit codes {plain_code}, {update_code}, {info_code}, "
                        "expected 1, 0, 0")

    readback = os.path.join(work, "readback")
    os.makedirs(readback)
    read_back(tools, disk, f"EFI/DRUX/{MACHINE_FOLDER}", os.path.join(readback, "boot"))
    read_back(tools, disk, "EFI/DRUX/shellpc", os.path.join(readback, "shell"))
    compare_machines(args.druxsim, os.path.join(readback, "shell"),
                     os.path.join(readback, "boot"), failures, "shell-less machine")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("part", choices=["secure-boot", "boot-entry"])
    parser.add_argument("--images", required=True, help="folder of the .efi images")
    parser.add_argument("--signed-admin", default="",
                        help="the simulated druxsvcadmin signed with OVMF's test key")
    parser.add_argument("--host-programs", required=True, help="folder of druxsvc, druxsvcadmin")
    parser.add_argument("--druxsim", required=True)
    parser.add_argument("--work", required=True, help="scratch folder (emptied)")
    parser.add_argument("--missing", default="", help="why the images were not built")
    parser.add_argument("--unsigned-because", default="",
                        help="why the build made no test-key signed image")
    args = parser.parse_args()
    for name in ("images", "host_programs", "druxsim", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if args.missing:
        shell_test.skip(f"UEFI images not built: {args.missing}")
    tools = {name: shell_test.find_tool(name)
             for name in ("qemu-system-x86_64", "mkfs.fat", "mcopy", "mdel")}
    for name, path in tools.items():
        if path is None:
            shell_test.skip(f"{name} not found (packages qemu-system-x86, dosfstools, mtools)")
    if args.part == "secure-boot":
        for path in (SECURE_CODE, SECURE_VARS):
            if not os.path.exists(path):
                shell_test.skip(f"{path} not found (OVMF's Secure Boot files, package ovmf)")
        if args.unsigned_because:
            shell_test.skip(args.unsigned_because)
    else:
        for path in (PLAIN_CODE, PLAIN_VARS):
            if not os.path.exists(path):
                shell_test.skip(f"{path} not found (package ovmf)")

    started = time.monotonic()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    failures = []
    if args.part == "secure-boot":
        test_secure_boot(args, tools, args.work, failures)
    else:
        test_boot_entry(args, tools, args.work, failures)
    elapsed = time.monotonic() - started
    if failures:
        print(f"FAILED ({len(failures)} problems, {elapsed:.1f} s; logs in {args.work}):")
        print("\n".join(failures))
        return 1
    print(f"passed: {args.part}, {elapsed:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
