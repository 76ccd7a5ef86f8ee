#!/usr/bin/env python3
"""Tests of the real-port druxsvc: run_linux_tests.py {permission|lockfile|vm} DRUXSVC DIR.

permission: without port access (our containers: ioperm fails) the program prints one perror
            style line, exits 6 and touches no port (a port instruction would kill it).
lockfile:   the lock file is opened without following links, without truncating, and a FIFO in
            its place does not block.
vm:         boots Debian's kernel under QEMU with a busybox initramfs that runs the program as
            root; the ports read all ones there, so "i drux" ends with "DRUX not found." and 6.
Exit code 77 with "SKIPPED: <reason>" when the machine can't run the test.
"""
import ctypes
import errno
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

NOT_FOUND = "ERROR: DRUX not found."


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(77)


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


def run(program, args, lock_file):
    env = dict(os.environ, DRUX_LOCK_FILE=lock_file)
    return subprocess.run([program] + args, env=env, capture_output=True, text=True, timeout=60)


def port_access_error():
    """errno of the same ioperm call in this process; 0 when the machine grants it."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.ioperm(0x4000, 0x194, 1) == 0:
        return 0
    return ctypes.get_errno()


def permission_error_line():
    error = port_access_error()
    if error == 0:
        skip("this machine grants port access; the error path can't be provoked here")
    return ("ERROR: No access to the DRUX I/O ports (run as root, with CAP_SYS_RAWIO, on a "
            f"kernel that allows ioperm): {os.strerror(error)}\n")


def test_permission(program, work):
    expected = permission_error_line()
    os.makedirs(work, exist_ok=True)
    for args in (["i", "drux"], ["i", "drux", "-d"], ["u", "drux", "-y"]):
        result = run(program, args, os.path.join(work, "drux.lock"))
        if (result.returncode, result.stdout, result.stderr) != (6, "", expected):
            fail(f"{args}: exit {result.returncode}, stdout {result.stdout!r}, "
                 f"stderr {result.stderr!r}")
    # Administrator's program and a missing lock directory alike: no port without the lock.
    admin = os.path.join(os.path.dirname(program), "druxsvcadmin")
    result = run(admin, [], os.path.join(work, "missing", "drux.lock"))
    if result.returncode != 6 or "ERROR: Can't use the lock file" not in result.stderr:
        fail(f"druxsvcadmin without lock directory: {result.returncode} {result.stderr!r}")
    print("permission: OK")


def test_lockfile(program, work):
    denied = permission_error_line()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    lock = os.path.join(work, "drux.lock")
    victim = os.path.join(work, "victim")
    refused = f"ERROR: Can't use the lock file {lock}: "

    def keep(path):
        with open(path, "w") as f:
            f.write("keep me\n")

    cases = [  # what is planted at the lock file's place, expected error stream
        ("link to a missing file", lambda: os.symlink(victim, lock),
         refused + os.strerror(errno.ELOOP) + "\n"),
        ("link to a file", lambda: (keep(victim), os.symlink(victim, lock)),
         refused + os.strerror(errno.ELOOP) + "\n"),
        ("FIFO", lambda: os.mkfifo(lock), refused + os.strerror(errno.EINVAL) + "\n"),
        ("regular file", lambda: keep(lock), denied),  # used as it is
    ]
    for name, plant, expected in cases:
        for leftover in (lock, victim):
            if os.path.lexists(leftover):
                os.unlink(leftover)
        plant()
        result = run(program, ["i", "drux"], lock)
        if (result.returncode, result.stderr) != (6, expected):
            fail(f"{name}: exit {result.returncode}, stderr {result.stderr!r}")
        # Nothing created through a link, nothing truncated.
        if name == "link to a missing file" and os.path.lexists(victim):
            fail("the link's target was created")
        for path in (lock, victim):
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path) as f:
                    if f.read() != "keep me\n":
                        fail(f"{name}: {path} was changed")
    print("lockfile: OK")


def is_static(path):
    """True when the ELF file has no program interpreter (PT_INTERP)."""
    with open(path, "rb") as f:
        data = f.read(1 << 16)
    if data[:4] != b"\x7fELF" or data[4] != 2:
        return False
    phoff = int.from_bytes(data[32:40], "little")
    phentsize = int.from_bytes(data[54:56], "little")
    phnum = int.from_bytes(data[56:58], "little")
    for i in range(phnum):
        entry = phoff + i * phentsize
        if int.from_bytes(data[entry:entry + 4], "little") == 3:
            return False
    return True


def fetch_kernel(cache):
    """Debian's kernel image, taken from its package without installing it, kept in cache."""
    kernel = os.path.join(cache, "vmlinuz")
    if os.environ.get("DRUX_VM_KERNEL"):
        return os.environ["DRUX_VM_KERNEL"]
    if os.path.exists(kernel):
        return kernel
    if not shutil.which("apt-get") or not shutil.which("dpkg-deb"):
        skip("no kernel: apt-get and dpkg-deb are needed to fetch one (or set DRUX_VM_KERNEL)")
    os.makedirs(cache, exist_ok=True)
    depends = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                             text=True).stdout
    match = re.search(r"Depends: (linux-image-\S+-amd64)", depends)
    if not match:
        skip("no kernel: apt-cache knows no linux-image-amd64 (run apt-get update)")
    with tempfile.TemporaryDirectory(dir=cache) as download:
        got = subprocess.run(["apt-get", "download", match.group(1)], cwd=download,
                             capture_output=True, text=True, timeout=600)
        packages = glob.glob(os.path.join(download, "*.deb"))
        if got.returncode != 0 or not packages:
            skip(f"no kernel: apt-get download {match.group(1)} failed: {got.stderr.strip()}")
        tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", packages[0]], capture_output=True,
                             check=True).stdout
        unpacked = os.path.join(download, "root")
        os.makedirs(unpacked)
        subprocess.run(["tar", "-x", "-C", unpacked, "--wildcards", "./boot/vmlinuz-*"],
                       input=tar, check=True)
        image = glob.glob(os.path.join(unpacked, "boot", "vmlinuz-*"))[0]
        shutil.move(image, kernel + ".part")
        os.replace(kernel + ".part", kernel)
    return kernel


INIT = """#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /run/lock
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for args in "i drux" "i drux -d"; do
  echo "@@ begin $args"
  /druxsvc $args 2>&1
  echo "@@ end $args: $?"
done
echo "@@ locks: $(ls /run/lock)"
poweroff -f
"""


def build_initramfs(program, work):
    busybox = next((p for p in ("/bin/busybox", "/usr/bin/busybox") if os.path.exists(p)), None)
    if busybox is None or not is_static(busybox):
        skip("no static busybox (Debian package busybox-static)")
    if not shutil.which("cpio"):
        skip("cpio not found")
    if not is_static(program):
        fail(f"{program} is not linked statically")
    root = os.path.join(work, "root")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "bin"))
    shutil.copy(busybox, os.path.join(root, "bin", "busybox"))
    shutil.copy(program, os.path.join(root, "druxsvc"))
    with open(os.path.join(root, "init"), "w") as f:
        f.write(INIT)
    os.chmod(os.path.join(root, "init"), 0o755)
    image = os.path.join(work, "initrd.gz")
    names = subprocess.run(["find", "."], cwd=root, capture_output=True, check=True).stdout
    archive = subprocess.run(["cpio", "-o", "-H", "newc", "--owner", "0:0", "--quiet"], cwd=root,
                             input=names, capture_output=True, check=True).stdout
    with open(image, "wb") as f:
        f.write(subprocess.run(["gzip", "-1"], input=archive, capture_output=True,
                               check=True).stdout)
    return image


def test_vm(program, cache):
    qemu = shutil.which("qemu-system-x86_64")
    if qemu is None:
        skip("qemu-system-x86_64 not found (Debian package qemu-system-x86)")
    kernel = fetch_kernel(cache)
    work = os.path.join(cache, "work")
    os.makedirs(work, exist_ok=True)
    initrd = build_initramfs(program, work)
    start = time.monotonic()
    # Software emulation: KVM is not usable on our build machines.
    try:
        qemu_run = subprocess.run(
            [qemu, "-accel", "tcg", "-m", "256", "-display", "none", "-vga", "none", "-serial",
             "stdio", "-net", "none", "-no-reboot", "-kernel", kernel, "-initrd", initrd,
             "-append", "console=ttyS0 quiet panic=-1"],
            stdin=subprocess.DEVNULL, capture_output=True, timeout=180)
    except subprocess.TimeoutExpired:
        fail("the virtual machine did not power off within 180 s")
    seconds = time.monotonic() - start
    console = qemu_run.stdout.decode("utf-8", "replace").replace("\r", "")
    # QEMU exits 0 whatever the guest did: the verdict comes from the console markers.
    for args in ("i drux", "i drux -d"):
        section = re.search(rf"@@ begin {args}\n(.*?)@@ end {args}: (\d+)\n", console, re.S)
        if not section:
            fail(f"no result of '{args}' on the console:\n{console}")
        lines = [line for line in section.group(1).splitlines()
                 if not re.match(r"\[\s*\d+\.\d+\]", line)]  # kernel messages may interleave
        if lines != [NOT_FOUND] or section.group(2) != "6":
            fail(f"'{args}': exit {section.group(2)}, output {lines!r}")
    if "@@ locks: drux.lock" not in console:
        fail(f"the lock file is not /run/lock/drux.lock:\n{console}")
    print(f"vm: OK ({seconds:.1f} s in QEMU)")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    test, program, directory = sys.argv[1:]
    {"permission": test_permission, "lockfile": test_lockfile, "vm": test_vm}[test](
        os.path.abspath(program), os.path.abspath(directory))


if __name__ == "__main__":
    main()
