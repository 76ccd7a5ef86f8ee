#!/usr/bin/env python3
"""UEFI shell test of the real images.

Boots OVMF's UEFI shell in QEMU once; a startup.nsh script runs every request of RUNS below,
echoing a marker and %lasterror% around each. Standard output and the error stream of most
runs go into files (>a, 2>a) that are read back from the FAT disk with mcopy; runs that must
answer prompts stay on the console, where this driver waits for each prompt text before it
types the answer. The platform conformance program runs here on the host and in the shell,
and both result files must agree.

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
    exit_code: int
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
    # The action drivers are not built yet: the request reaches the PC type, then the driver
    # refuses the data type.
    Run("sim_info_drux", "druxsvc_sim.efi i drux", 1, out_starts="PC is an EX64.\n",
        err_is="ERROR: Info is not supported for the specified data type.\n",
        host=["druxsvc", "i", "drux"]),
    Run("admin_sim", "druxsvcadmin_sim.efi", 1,
        out_starts="Version: 19.5 FSET Update", out_has=["PC is an EX64.\n"],
        err_is="ERROR: Action is not supported for the specified data type.\n",
        host=["druxsvcadmin"]),
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
    lines = ["@echo -off", "fs0:", "cd \\", "set DRUXSIM_DIR simpc"]
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
    if result.exit_code != run.exit_code:
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


def run_host_programs(runs, programs, work):
    """Runs the host twins of the shell's simulated runs, in the script's order and against one
    simulated machine of their own, as the shell's runs share simpc."""
    outputs = {}
    run_dir = os.path.join(work, "host_runs")
    os.makedirs(run_dir)
    environment = dict(os.environ, DRUXSIM_DIR=os.path.join(work, "host_simpc"))
    for run in runs:
        if run.host is None:
            continue
        program = os.path.join(programs, run.host[0])
        completed = subprocess.run([program] + run.host[1:], cwd=run_dir, env=environment,
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        outputs[run.name] = (completed.returncode, completed.stdout.decode("latin-1"),
                             completed.stderr.decode("latin-1"))
    return outputs


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


def check_simulator_state(disk_dir, failures):
    """The simulated machine was kept in files on the FAT disk through the platform layer."""
    state = os.path.join(disk_dir, "simpc")
    for name in ("machine.txt", "state.txt"):
        path = os.path.join(state, name)
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            failures.append(f"simulator: simpc/{name} missing or empty on the disk")
    machine = os.path.join(state, "machine.txt")
    if os.path.exists(machine) and "pc=18\n" not in open(machine).read():
        failures.append("simulator: simpc/machine.txt does not describe the default EX64")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--images", required=True, help="folder of the .efi images")
    parser.add_argument("--host-conformance", required=True)
    parser.add_argument("--host-programs", required=True, help="folder of druxsvc, druxsvcadmin")
    parser.add_argument("--work", required=True, help="scratch folder (emptied)")
    parser.add_argument("--missing", default="", help="why the images were not built")
    args = parser.parse_args()
    args.images = os.path.abspath(args.images)
    args.host_conformance = os.path.abspath(args.host_conformance)
    args.host_programs = os.path.abspath(args.host_programs)
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
    host_outputs = run_host_programs(RUNS, args.host_programs, args.work)

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
    files += [script] + [os.path.join(args.work, name) for _, name in conformance_inputs]
    subprocess.run([tools["mcopy"], "-i", disk] + files + ["::/"], check=True)

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
    check_simulator_state(disk_dir, failures)

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
