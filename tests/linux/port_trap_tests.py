#!/usr/bin/env python3
"""The real-port programs at work: port_trap_tests.py CASE BUILD WORK.

BUILD is the linux build directory: the real-port druxsvc and druxsvcadmin, and in
tests/linux the harness drux_port_trap, trap_probe and the simulated build of the programs and
druxsim (simulated/). Each case works in WORK/CASE.

Comparison cases run one request twice on fresh machines set up alike: the simulated build's
program, and the real-port program under the harness, whose port instructions the simulator
serves. Standard output (the total-time line aside), error stream, exit code, `druxsim show`,
every file of the machine directory and the files the program wrote must be the same.
The other cases: wrong port accesses end the run, the lock between two real-port programs, and
Ctrl-C in the middle of an update. Exit code 77 with "SKIPPED: <reason>" where ptrace is not
permitted.
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import time

RUN_FAILED = 125  # the harness's own exit codes
CANNOT_TRACE = 126
TOTAL_TIME = re.compile(r"Total time needed: [^\n]*")
LOCKED = "ERROR: Can't access DRUX: DRUX command interface is locked\n"


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(77)


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


class Build:
    def __init__(self, directory):
        tests = os.path.join(directory, "tests", "linux")
        self.harness = os.path.join(tests, "drux_port_trap")
        self.probe = os.path.join(tests, "trap_probe")
        self.real = directory
        self.simulated = os.path.join(tests, "simulated")

    def program(self, name, real):
        """The command that runs a program of the real-port (under the harness) or simulated
        build; trap_probe only runs under the harness."""
        if name == "trap_probe":
            return [self.harness, self.probe]
        path = os.path.join(self.real if real else self.simulated, name)
        return [self.harness, path] if real else [path]


class Side:
    """One machine with its working directory: where a program runs and writes its files."""

    def __init__(self, build, directory):
        self.build = build
        self.directory = directory
        self.machine = os.path.join(directory, "machine")
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        self.env = dict(os.environ, DRUXSIM_DIR=self.machine,
                        DRUX_LOCK_FILE=os.path.join(directory, "drux.lock"))

    def druxsim(self, *arguments):
        result = subprocess.run(self.build.program("druxsim", False) + list(arguments),
                                cwd=self.directory, env=self.env, capture_output=True, text=True)
        if result.returncode != 0:
            fail(f"druxsim {' '.join(arguments)}: {result.stdout}{result.stderr}")
        return result.stdout

    def command(self, program, arguments, real):
        return self.build.program(program, real) + list(arguments)

    def run(self, program, arguments, real, env=None):
        result = subprocess.run(self.command(program, arguments, real), cwd=self.directory,
                                env=dict(self.env, **(env or {})), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=300)
        return result.returncode, result.stdout, result.stderr

    def start(self, program, arguments, real):
        return subprocess.Popen(self.command(program, arguments, real), cwd=self.directory,
                                env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def files(self):
        """Every file below the side's directory but the lock file, with its bytes."""
        found = {}
        for root, _, names in os.walk(self.directory):
            for name in names:
                path = os.path.join(root, name)
                if name != "drux.lock":
                    with open(path, "rb") as f:
                        found[os.path.relpath(path, self.directory)] = f.read()
        return found

    def show(self):
        return re.sub(r"Machine directory:[^\n]*\n", "", self.druxsim("show"))


def require_ptrace(build, work):
    side = Side(build, os.path.join(work, "ptrace-check"))
    code, _, err = side.run("trap_probe", ["idle"], True)
    if code == CANNOT_TRACE and b"(ptrace)" in err:
        skip(f"ptrace is not permitted here ({err.decode().strip()})")
    if code != 0:
        fail(f"the harness can't run the probe: exit {code}, {err!r}")


def kcf_image(panels):
    """A key configuration for `panels` channels whose byte sum is 0."""
    image = bytearray(panels * 12544 + 272)
    for offset, text in ((0, b"Version:3.01"), (14, b"Date:2026-01-20"),
                         (30, b"UserInfo:Press line keys")):
        image[offset:offset + len(text)] = text
    image[130] = panels
    for i in range(256, len(image) - 16):
        image[i] = i % 251
    image[-16:-2] = b"ScanCodes..:  "
    image[-1] = (-sum(image)) % 256
    return bytes(image)


def write(name, data):
    def step(side):
        with open(os.path.join(side.directory, name), "wb") as f:
            f.write(data)
    return step


def druxsim(*arguments):
    return lambda side: side.druxsim(*arguments)


CREATE = druxsim("create")
ONE_CHANNEL = [CREATE, druxsim("set", "channels=1")]
# A panel whose small receiver image lives in its write-protected flash: an update lifts the
# protection and puts it back.
PROTECTED_PANEL = [CREATE, druxsim("receiver", "0", "0x722C", "version=1.02", "protect=1")]


def receiver_image(size):
    return druxsim("image", "new.fp", "--format", "old", "--id", "KVNR", "--version", "1.03",
                   "--size", hex(size), "--xml", "16:#:1")


class Comparison:
    """One request on both builds. The default machine (a directory without a machine) where
    its factory contents matter, else a created one: its files are a few hundred KiB instead of
    22 MiB. The outcome (exit code, a text of the output, commands of the log) is checked too,
    so that two builds failing alike can't pass."""

    def __init__(self, program, arguments, setup, exit_code, text, log=None, env=None):
        self.program, self.arguments, self.setup = program, arguments, setup
        self.exit_code, self.text = exit_code, text
        self.log = log or {}  # text of a druxsim log line: how many lines hold it
        self.env = env or {}


FAN_KIT_RECORD = druxsim("--dir", "factory", "dump", "fset:0", "fan.bin", "--offset", "1280",
                         "--length", "512")
COMPARISONS = {
    "info_all": Comparison("druxsvc", ["i", "all"], [], 0, "-- Link transmitter FPGA firmware"),
    "info_drux_trace": Comparison("druxsvc", ["i", "drux", "-d"], [CREATE], 0,
                                  "RD Cmd:0x10 Addr:0x0000 DevNum:0x1 Target:0x1 Size:0x4\n"),
    "save_kcf": Comparison("druxsvc", ["s", "kcf", "saved.kcf"],
                           ONE_CHANNEL + [write("k.kcf", kcf_image(1)),
                                          druxsim("load", "kcf", "k.kcf")], 0, "Save finished.\n"),
    "update_kcf": Comparison("druxsvc", ["u", "kcf", "k.kcf"],
                             ONE_CHANNEL + [write("k.kcf", kcf_image(1))], 0,
                             "Verify 12816 bytes with device"),
    # The fan kit's record as the factory wrote it, into a created machine's erased EEPROM.
    "update_fanfset": Comparison("druxsvc", ["u", "fanfset", "fan.bin"], [FAN_KIT_RECORD, CREATE],
                                 0, "Verify 512 bytes with device"),
    "admin": Comparison("druxsvcadmin", [], [], 0, "New parent device ID: 0x0000ef98\n"),
    # The protection lifted and restored: two panel requests.
    "update_protected_link": Comparison("druxsvc", ["u", "link", "-p=0", "new.fp", "-y"],
                                        PROTECTED_PANEL + [receiver_image(0x1000)], 0,
                                        "Verify 4096 bytes with device", {"cmd=0x22 ": 2}),
    # Two busy answers to the EEPROM writes: retried, then written.
    "fault_busy": Comparison("druxsvc", ["u", "fanfset", "fan.bin"],
                             [FAN_KIT_RECORD, CREATE, druxsim("fault", "busy", "0x63", "2")], 0,
                             "Verify 512 bytes with device", {"err=0x84": 2}),
    "fault_error": Comparison("druxsvc", ["i", "uid"],
                              [CREATE, druxsim("fault", "error", "0x12", "0x85")], 6,
                              "ERROR: Can't read User Serial ID: device failure (does not exist)"),
    # The clock runs 61 seconds a reading: the third reading is past the time bound.
    "fault_hang": Comparison("druxsvc", ["i", "all"], [CREATE, druxsim("fault", "hang", "any")],
                             0, "ERROR: Can't read User Serial ID: DRUX command timeout\n",
                             {"state=2": 1}, {"DRUXSVC_TEST_CLOCK": "0,61"}),
}


def compare(build, work, name):
    case = COMPARISONS[name]
    sides = {}
    results = {}
    for real in (False, True):
        side = Side(build, os.path.join(work, "real" if real else "simulated"))
        for step in case.setup:
            step(side)
        start = time.monotonic()
        results[real] = side.run(case.program, case.arguments, real, case.env)
        sides[real] = side
        if real:
            print(f"real-port {case.program} {' '.join(case.arguments)}: "
                  f"{time.monotonic() - start:.2f} s, {side.druxsim('accesses').strip()} port "
                  "accesses")
    simulated, real = results[False], results[True]
    if real[0] in (RUN_FAILED, CANNOT_TRACE):
        fail(f"the harness ended the run ({real[0]}): {real[2].decode()}")
    for what, index in (("exit code", 0), ("output", 1), ("error stream", 2)):
        a, b = simulated[index], real[index]
        if index == 1:
            a, b = (TOTAL_TIME.sub("Total time needed: -", x.decode()) for x in (a, b))
        if a != b:
            fail(f"{what} differs: simulated build {a!r}, real-port build {b!r}")
    if sides[False].show() != sides[True].show():
        fail(f"the machines differ:\n{sides[False].show()}\n---\n{sides[True].show()}")
    files = {real: sides[real].files() for real in (False, True)}
    if files[False].keys() != files[True].keys():
        fail(f"other files: {sorted(files[False])} / {sorted(files[True])}")
    for path in sorted(files[False]):
        if files[False][path] != files[True][path]:
            fail(f"{path} differs")
    log = sides[True].druxsim("log")
    if real[0] != case.exit_code or case.text not in (real[1] + real[2]).decode():
        fail(f"not the intended outcome: exit {real[0]}, {real[1] + real[2]!r}")
    for text, count in case.log.items():
        if log.count(text) != count:
            fail(f"{count} log lines with {text!r} expected:\n{log}")
    print(f"{name}: OK (exit {real[0]}, {len(files[True])} files equal)")


# What the probe does and the line the harness prints before it ends the run (exit 125).
NOT_SERVED = (r"port-trap: fault on an instruction other than inb %dx,%al or outb %al,%dx at "
              r"0x[0-9a-f]+, instruction bytes ")
WRONG_ACCESSES = [
    ("range", re.escape("port-trap: the program asked for ports 0x4000-0x41ff (ioperm); only "
                        "0x4000-0x4193 are served\n")),
    ("word", NOT_SERVED + r"66 ed( [0-9a-f]{2}){6}\n"),
    ("immediate", NOT_SERVED + r"e4 80( [0-9a-f]{2}){6}\n"),
    ("outside", r"port-trap: port 0x3ff0 outside 0x4000-0x4193 at 0x[0-9a-f]+, instruction "
                r"bytes ec( [0-9a-f]{2}){7}\n"),
]


def test_accesses(build, work):
    side = Side(build, work)
    # Served: the identification register reads "DRUX", a byte written into the window comes
    # back, and the accesses are in the machine afterwards.
    code, out, err = side.run("trap_probe", ["block"], True)
    if (code, out, err) != (0, b"identification 0x1c697000, window 0x5a\n", b""):
        fail(f"served accesses: exit {code}, {out!r}, {err!r}")
    if side.druxsim("accesses") != "6\n":
        fail(f"the machine counted {side.druxsim('accesses')!r} accesses, not 6")
    for case, expected_err in WRONG_ACCESSES:
        code, out, err = side.run("trap_probe", [case], True)
        if code != RUN_FAILED or not re.fullmatch(expected_err, err.decode()):
            fail(f"{case}: exit {code}, error stream {err!r}")
    # A fault that is no port access is the program's own: it dies of it, and so does the
    # harness.
    code, out, err = side.run("trap_probe", ["crash"], True)
    if (code, err) != (-signal.SIGSEGV, b""):
        fail(f"crash: exit {code}, error stream {err!r}")
    # The wrong accesses' runs wrote nothing back.
    if side.druxsim("accesses") != "6\n":
        fail("a failed run changed the machine")
    # The cost of one trapped access.
    count = 20000
    start = time.monotonic()
    code, out, _ = side.run("trap_probe", ["count", str(count)], True)
    seconds = time.monotonic() - start
    if code != 0:
        fail(f"count: exit {code}")
    print(f"accesses: OK ({count} trapped reads in {seconds:.2f} s, "
          f"{seconds / count * 1e6:.0f} microseconds each)")


def lock_held(path):
    with open(path, "a") as f:
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return False
        except BlockingIOError:
            return True


def eventually(condition, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    return False


def expect_interface_free(side):
    show = side.druxsim("show")
    if "lock free" not in show or side.druxsim("violations") != "0\n":
        fail(f"interface not released cleanly:\n{show}")


def interrupt(process):
    process.send_signal(signal.SIGINT)
    out, err = process.communicate(timeout=60)
    return process.returncode, out, err


def test_lock(build, work):
    """A real-port program that holds the controller keeps a second one off; Ctrl-C ends it."""
    side = Side(build, work)
    side.druxsim("create")
    side.druxsim("fault", "hang", "0x10")  # i drux's version read never finishes
    holder = side.start("druxsvc", ["i", "drux"], True)
    try:
        if not eventually(lambda: lock_held(side.env["DRUX_LOCK_FILE"])):
            fail("the first program never took the lock")
        start = time.monotonic()
        second = side.run("druxsvc", ["i", "uid"], True)
        waited = time.monotonic() - start
        if second != (6, b"", LOCKED.encode()) or not 1.9 <= waited < 10:
            fail(f"second program: {second!r} after {waited:.1f} s")
        code, _, err = interrupt(holder)
    finally:
        holder.kill()
    if code != 7 or b"ERROR: Interrupted.\n" not in err:
        fail(f"interrupted holder: exit {code}, {err!r}")
    expect_interface_free(side)
    side.druxsim("fault", "clear")
    code, out, _ = side.run("druxsvc", ["i", "drux"], True)
    if code != 0 or b"DRUX version: 1.05" not in out:
        fail(f"the machine after the lock: exit {code}, {out!r}")
    print(f"lock: OK (the second program waited {waited:.1f} s)")


def read_until(stream, pattern):
    seen = b""
    while not re.search(pattern, seen):
        byte = stream.read(1)
        if not byte:
            fail(f"the output ended before {pattern!r}: {seen!r}")
        seen += byte
    return seen


def interrupted_update(build, directory, real):
    """Ctrl-C while an update writes the unprotected panel flash: the panel's state after it."""
    side = Side(build, directory)
    for step in PROTECTED_PANEL + [receiver_image(0x10000)]:
        step(side)
    update = side.start("druxsvc", ["u", "link", "-p=0", "new.fp", "-y"], real)
    try:
        # In the middle: past the first percentage of the write.
        seen = read_until(update.stdout, rb"Write \d+ bytes to device:.*%.*?[1-9]\d*%")
        code, out, err = interrupt(update)
    finally:
        update.kill()
    if code != 7 or b"ERROR: Interrupted.\n" not in err:
        fail(f"exit {code}, output {seen + out!r}, error stream {err!r}")
    expect_interface_free(side)
    return side.druxsim("receiver", "0")


def test_interrupt(build, work):
    real = interrupted_update(build, os.path.join(work, "real"), True)
    if "flash protected" not in real:
        fail(f"the interrupted update left the panel flash unprotected: {real!r}")
    print("interrupt: OK (released, protected, exit 7)")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    case, build_dir, work = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    build = Build(build_dir)
    require_ptrace(build, os.path.join(work, case, "ptrace-check"))
    if case in COMPARISONS:
        compare(build, os.path.join(work, case), case)
    else:
        {"accesses": test_accesses, "lock": test_lock, "interrupt": test_interrupt}[case](
            build, os.path.join(work, case))


if __name__ == "__main__":
    main()
