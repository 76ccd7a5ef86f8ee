#!/usr/bin/env python3
"""Tests of the Debian package: check_package.py CHECK [options].

build         makes the package with CPack (druxsvc_<version>_<arch>.deb in --output)
contents      dpkg-deb --contents holds exactly the expected files, owners and modes; the control
              fields; Depends, computed by dpkg-shlibdeps, is empty because the programs are static
lintian       no error and no warning that is not overridden
manual-pages  the installed pages render without warnings and cover what the program's help lists
completion    the installed bash completion, through complete -p and scripted COMP_WORDS calls
install       the programs run from a throw-away root end with the known permission error
manual-page   FILE [--commands-of TOOL]: one page of the build tree renders without warnings
              (and describes every command of the tool's help)
Exit code 77 with "SKIPPED: <reason>" when the machine can't run the check.
"""
import argparse
import ctypes
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(77)


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


def need(*tools):
    for tool in tools:
        if not shutil.which(tool):
            skip(f"{tool} not found (.ci/install-deps installs it)")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)


def package_path(args):
    need("dpkg", "dpkg-deb")
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    path = os.path.join(args.output, f"druxsvc_{args.version}_{arch}.deb")
    if not os.path.isfile(path):
        fail(f"{path} is missing")
    return path


def extract(args):
    """The package unpacked into a fresh root below --work, as dpkg would install it."""
    root = os.path.join(args.work, "root")
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(root)
    result = run(["dpkg-deb", "-x", package_path(args), root])
    if result.returncode != 0:
        fail(f"dpkg-deb -x: {result.stderr}")
    return root


def long_help(program):
    """Actions, data type spellings with their action letters and option letters, as the
    program's long help lists them."""
    result = run([program, "-h"], stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        fail(f"{program} -h: exit {result.returncode} {result.stderr!r}")
    actions, data_types, options = [], {}, []
    for line in result.stdout.splitlines():
        if m := re.match(r"^ {19}([A-Z])\[([a-z]+)\] += ", line):
            actions += [m[1], m[1] + m[2]]
        elif m := re.match(r"^ {19}([A-Z0-9]+)(?:\[([A-Z]+)\])?([0-9]?) += .*\(([A-Z,]+)\)$",
                           line):
            for spelling in {m[1] + m[3], m[1] + (m[2] or "") + m[3]}:
                data_types[spelling] = m[4].replace(",", "")
        elif m := re.match(r"^ {5}-(\S)", line):
            options.append(m[1])
    if not actions or not data_types or not options:
        fail(f"can't read the long help of {program}:\n{result.stdout}")
    return actions, data_types, options


def check_build(args):
    need("dpkg", "dpkg-deb", "dpkg-shlibdeps")
    shutil.rmtree(args.output, ignore_errors=True)
    result = run([args.cpack, "-G", "DEB", "--config", args.config, "-B", args.output])
    print(result.stdout + result.stderr)
    if result.returncode != 0:
        fail("cpack failed")
    packages = glob.glob(os.path.join(args.output, "*.deb"))
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    if len(packages) != 1 or not re.fullmatch(rf"druxsvc_[0-9.]+_{arch}\.deb",
                                              os.path.basename(packages[0])):
        fail(f"expected one druxsvc_<version>_{arch}.deb, found {packages}")
    print(f"{os.path.basename(packages[0])}: {os.path.getsize(packages[0])} bytes")


def expected_files(args):
    files = {"usr/sbin/druxsvc": "-rwxr-xr-x", "usr/sbin/druxsvcadmin": "-rwxr-xr-x"}
    for name in ["usr/share/man/man8/druxsvc.8.gz", "usr/share/man/man8/druxsvcadmin.8.gz",
                 "usr/share/bash-completion/completions/druxsvc",
                 "usr/share/doc/druxsvc/copyright", "usr/share/doc/druxsvc/changelog.gz",
                 "usr/share/lintian/overrides/druxsvc"]:
        files[name] = "-rw-r--r--"
    for image in args.efi_images:
        files[f"usr/lib/druxsvc/efi/{image}"] = "-rw-r--r--"
    for name in list(files):
        while (name := os.path.dirname(name)):
            files[name + "/"] = "drwxr-xr-x"
    return files


def is_static_elf(path):
    """An ELF executable without program interpreter and dynamic section."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"\x7fELF" or data[4] != 2:
        return False
    phoff = int.from_bytes(data[32:40], "little")
    phentsize = int.from_bytes(data[54:56], "little")
    for i in range(int.from_bytes(data[56:58], "little")):
        kind = int.from_bytes(data[phoff + i * phentsize:phoff + i * phentsize + 4], "little")
        if kind in (2, 3):  # PT_DYNAMIC, PT_INTERP
            return False
    return True


def is_efi_application(path):
    """A PE32+ image for x86-64 with the EFI application subsystem."""
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = int.from_bytes(data[0x3c:0x40], "little")
    return (data[:2] == b"MZ" and data[pe:pe + 4] == b"PE\0\0"
            and int.from_bytes(data[pe + 4:pe + 6], "little") == 0x8664
            and int.from_bytes(data[pe + 24:pe + 26], "little") == 0x20b
            and int.from_bytes(data[pe + 24 + 68:pe + 24 + 70], "little") == 10)


def check_contents(args):
    path = package_path(args)
    listing = run(["dpkg-deb", "--contents", path]).stdout.splitlines()
    found = {}
    for line in listing:
        mode, owner, _size, _date, _time, name = line.split(None, 5)
        if owner != "root/root":
            fail(f"{name} belongs to {owner}")
        found[name.removeprefix("./")] = mode
    expected = expected_files(args)
    wrong = sorted(name for name in set(found) | set(expected)
                   if found.get(name) != expected.get(name))
    if wrong:
        fail("contents differ (name, in the package, expected):\n" + "\n".join(
            f"  {name} {found.get(name, '-')} {expected.get(name, '-')}" for name in wrong))

    control = run(["dpkg-deb", "--field", path]).stdout
    fields = dict(re.findall(r"^([A-Za-z-]+): (.*)$", control, re.M))
    for field, value in [("Package", "druxsvc"), ("Version", args.version),
                         ("Section", "admin"), ("Priority", "optional")]:
        if fields.get(field) != value:
            fail(f"control field {field}: {fields.get(field)!r}, expected {value!r}")
    if "Depends" in fields or "Pre-Depends" in fields:
        fail(f"the static programs need no package, but: {control}")

    # Depends computed, not assumed: dpkg-shlibdeps finds no library for the programs.
    root = extract(args)
    programs = [os.path.join(root, "usr/sbin", p) for p in ("druxsvc", "druxsvcadmin")]
    os.makedirs(os.path.join(args.work, "debian"))
    with open(os.path.join(args.work, "debian", "control"), "w") as f:
        f.write("Source: druxsvc\n\nPackage: druxsvc\nArchitecture: any\n")
    result = run(["dpkg-shlibdeps", "-O"] + programs, cwd=args.work)
    if result.returncode != 0 or re.search(r"Depends=\S", result.stdout):
        fail(f"dpkg-shlibdeps: {result.returncode} {result.stdout!r} {result.stderr!r}")
    for program in programs:
        if not is_static_elf(program):
            fail(f"{program} is not a statically linked ELF executable")
    for image in args.efi_images:
        if not is_efi_application(os.path.join(root, "usr/lib/druxsvc/efi", image)):
            fail(f"{image} is no x86-64 EFI application")
    print(f"contents: OK ({len(expected)} entries, no Depends)")


def check_lintian(args):
    need("lintian")
    path = package_path(args)
    # Info tags shown too, for unused overrides; the overridden tags themselves are silent.
    result = run(["lintian", "--allow-root", "--display-info", "--fail-on", "error,warning", path])
    print(result.stdout + result.stderr)
    tags = re.findall(r"^([EWIPXO]): druxsvc[^:]*: (\S+)", result.stdout, re.M)
    bad = [tag for kind, tag in tags if kind in "EW"]
    if result.returncode != 0 or bad:
        fail(f"lintian: exit {result.returncode}, errors and warnings {bad}")
    # Every override still matches a tag; one that does not hides nothing and must go.
    if any(tag in ("unused-override", "mismatched-override") for _, tag in tags):
        fail("an override in packaging/lintian-overrides matches nothing")
    print(f"lintian: OK, no error, no warning; info {sorted(tag for _, tag in tags)}")


def render(page):
    """The page as text; fails on any warning of man or groff."""
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80", MAN_KEEP_FORMATTING="")
    checked = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page], env=env)
    if checked.returncode != 0 or checked.stderr:
        fail(f"{page}: {checked.stderr}")
    text = run(["man", "-E", "UTF-8", "-l", page], env=dict(env, MANPAGER="cat")).stdout
    return re.sub(r".\x08", "", text)


def check_manual_page(args):
    need("man", "groff")
    text = render(args.page)
    for section in ("NAME", "SYNOPSIS", "DESCRIPTION"):
        if not re.search(rf"^{section}$", text, re.M):
            fail(f"{args.page}: no {section} section")
    if args.commands_of:
        # A tool's page lists every command that the tool's own help lists.
        listed = run([args.commands_of, "help"]).stdout
        commands = set(re.findall(r"^  ([a-z]+)\b", listed, re.M))
        section = text.split("\nCOMMANDS\n", 1)[-1].split("\nEXIT STATUS\n", 1)[0]
        absent = sorted(c for c in commands if not re.search(rf"^ {{7}}{c}\b", section, re.M))
        if len(commands) < 10 or absent:
            fail(f"{args.page}: commands of {args.commands_of} help not described: {absent}")
    print(f"{os.path.basename(args.page)}: renders without warnings")


def check_manual_pages(args):
    need("man", "groff")
    root = extract(args)
    pages = {os.path.basename(p): render(p)
             for p in glob.glob(os.path.join(root, "usr/share/man/man*/*"))}
    if sorted(pages) != ["druxsvc.8.gz", "druxsvcadmin.8.gz"]:
        fail(f"manual pages: {sorted(pages)}")
    sections = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "FILES",
                "ENVIRONMENT", "UEFI AND LINUX", "EXAMPLES"]
    for name, text in pages.items():
        for section in sections:
            if not re.search(rf"^{section}$", text, re.M):
                fail(f"{name}: no {section} section")
        for code in range(17):
            if not re.search(rf"^\s*│{code}\s+│", text, re.M):
                fail(f"{name}: exit code {code} missing from the table")
        for must in ("/run/lock/drux.lock", "DRUX_LOCK_FILE", "ioperm", "%lasterror%"):
            if must not in text:
                fail(f"{name}: {must} not mentioned")

    # druxsvc's page covers everything that its help lists, and the README's examples.
    text = pages["druxsvc.8.gz"]
    actions, data_types, options = long_help(os.path.join(root, "usr/sbin/druxsvc"))
    for keyword in actions + list(data_types):
        if not re.search(rf"\b{keyword}\b", text):
            fail(f"druxsvc.8: keyword {keyword} missing")
    for letter in options:
        if not re.search(rf"^\s+-{re.escape(letter)}", text, re.M):
            fail(f"druxsvc.8: option -{letter} not described")
    for example in ("druxsvc i drux", "druxsvc u kcf codes.kcf", "druxsvc s link link.bin -p=0",
                    "druxsvc c uid 08154711", "druxsvc i all", "druxsvc i uid -d"):
        if example not in text:
            fail(f"druxsvc.8: example {example!r} missing")
    print(f"manual pages: OK ({', '.join(sorted(pages))})")


def complete(script, cases, cwd):
    """COMPREPLY of the completion function for each list of COMP_WORDS, cursor on the last."""
    lines = [f"source {script}", "complete -p druxsvc"]
    for words in cases:
        quoted = " ".join("'" + w.replace("'", "'\\''") + "'" for w in words)
        lines += [f"COMP_WORDS=({quoted}); COMP_CWORD={len(words) - 1}; _druxsvc",
                  """printf '%s\\n' "${COMPREPLY[@]}" | sort -u | paste -sd ' ' -"""]
    script_text = "\n".join(lines)
    result = run(["bash", "--norc", "--noprofile", "-c", script_text], cwd=cwd)
    if result.returncode != 0 or result.stderr:
        fail(f"bash: {result.returncode} {result.stderr}")
    output = result.stdout.splitlines()
    return output[0], [line.split() for line in output[1:]]


def check_completion(args):
    need("bash")
    root = extract(args)
    script = os.path.join(root, "usr/share/bash-completion/completions/druxsvc")
    actions, data_types, options = long_help(os.path.join(root, "usr/sbin/druxsvc"))
    files = os.path.join(args.work, "files")
    os.makedirs(files)
    for name in ("codes.kcf", "link.bin"):
        open(os.path.join(files, name), "w").close()

    def types_for(letter, upper=False):
        return sorted((k if upper else k.lower()) for k, v in data_types.items() if letter in v)

    cases = [  # COMP_WORDS (cursor on the last word), the candidates expected
        (["druxsvc", ""], sorted(a.lower() for a in actions)),
        (["druxsvc", "i", ""], types_for("I")),
        (["druxsvc", "I", ""], types_for("I", upper=True)),
        (["druxsvc", "Info", "L"], [t for t in types_for("I", upper=True) if t[0] == "L"]),
        (["druxsvc", "u", ""], types_for("U")),
        (["druxsvc", "delete", ""], types_for("D")),
        (["druxsvc", "-p", "=", "1", "c", ""], types_for("C")),  # options don't count
        (["druxsvc", "s", "link", ""], ["codes.kcf", "link.bin"]),
        (["druxsvc", "u", "kcf", "c"], ["codes.kcf"]),
        (["druxsvc", "i", "drux", "-p", "="], sorted(f"={n}" for n in range(16))),
        (["druxsvc", "i", "drux", "-p", "=", "1"], sorted(str(n) for n in [1] + list(range(10, 16)))),
        (["druxsvc", "i", "drux", "-"], sorted(f"-{o}" + ("=" if o == "p" else "") for o in options)),
        (["druxsvc", "c", "uid", ""], []),
        (["druxsvc", "c", "biosset", "TPM", "="], ["=BIOS", "=dTPM", "=fTPM"]),
        (["druxsvc", "i", "drux", "x.bin", ""], []),
    ]
    if len(types_for("I")) < 10 or "linkfpga" not in types_for("I"):
        fail(f"the help lists too few data types: {data_types}")
    registration, replies = complete(script, [words for words, _ in cases], files)
    if registration != "complete -F _druxsvc druxsvc":
        fail(f"complete -p druxsvc: {registration!r}")
    for (words, expected), got in zip(cases, replies):
        if sorted(got) != sorted(expected):
            fail(f"{words}: offered {sorted(got)}, expected {sorted(expected)}")
    print(f"completion: OK ({len(cases)} cases; druxsvc i <Tab>: {' '.join(types_for('I'))})")


def port_access_error():
    """errno of the programs' ioperm call in this process; 0 when the machine grants it."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.ioperm(0x4000, 0x194, 1) == 0:
        return 0
    return ctypes.get_errno()


def check_install(args):
    error = port_access_error()
    if error == 0:
        skip("this machine grants port access; the error path can't be provoked here")
    expected = ("ERROR: No access to the DRUX I/O ports (run as root, with CAP_SYS_RAWIO, on a "
                f"kernel that allows ioperm): {os.strerror(error)}\n")
    root = extract(args)
    env = dict(os.environ, DRUX_LOCK_FILE=os.path.join(args.work, "drux.lock"))
    sbin = os.path.join(root, "usr/sbin")
    result = run([os.path.join(sbin, "druxsvc"), "i", "drux"], env=env)
    if (result.returncode, result.stdout, result.stderr) != (6, "", expected):
        fail(f"druxsvc i drux: exit {result.returncode}, stdout {result.stdout!r}, "
             f"stderr {result.stderr!r}")
    result = run([os.path.join(sbin, "druxsvcadmin")], env=env)
    if result.returncode != 6 or result.stderr != expected:
        fail(f"druxsvcadmin: exit {result.returncode}, stderr {result.stderr!r}")
    # The package's version is the installed program's.
    result = run([os.path.join(sbin, "druxsvc"), "-?"], env=env)
    if result.returncode != 0 or not result.stdout.startswith(f"Version: {args.version} "):
        fail(f"druxsvc -?: exit {result.returncode}, {result.stdout[:60]!r}")
    print("install: OK")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check")
    parser.add_argument("page", nargs="?")
    parser.add_argument("--cpack")
    parser.add_argument("--config")
    parser.add_argument("--output")
    parser.add_argument("--missing", default="")
    parser.add_argument("--commands-of")
    parser.add_argument("--version")
    parser.add_argument("--efi-images", nargs="*", default=[])
    parser.add_argument("--work", default=tempfile.mkdtemp())
    args = parser.parse_args()
    checks = {"build": check_build, "contents": check_contents, "lintian": check_lintian,
              "manual-pages": check_manual_pages, "completion": check_completion,
              "install": check_install, "manual-page": check_manual_page}
    if args.missing and args.check != "manual-page":
        skip(f"no package: {args.missing}")
    checks[args.check](args)


if __name__ == "__main__":
    main()
