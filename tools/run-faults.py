#!/usr/bin/env python3
"""Plants each deliberate fault of tools/faults/fault-list.txt in turn in a scratch copy of the
tree, rebuilds it, runs the tests that can see the change, and prints every fault as caught or
missed, then a count.

Which tests run: after the rebuild, every test whose program (or, for the end-to-end tests,
any of the programs and the release package they start) differs from the build without the
fault; a test none of whose inputs changed cannot change its result. A fault that changes no
output at all is reported as "no effect". Tests run in their usual order and stop at the first
failure.

Usage: tools/run-faults.py [--only N01,S05] [--scratch DIR] [--port-base N] [--results FILE]
       tools/run-faults.py --check   (each fault's text found once; the test command runs it)
Needs the test environment's packages (tools/install-deps.sh) and, like the test command,
starts Xvfb, wineserver and the simulator itself, on ports of its own.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ("Mewlark.exe", "MewlarkSetup.exe")


class Fault:
    def __init__(self, ident, path):
        self.ident, self.path = ident, path
        self.find, self.replace, self.seen = None, None, ""


def parse_faults(path):
    faults, fault, field = [], None, None
    for raw in open(path, encoding="utf-8"):
        line = raw.rstrip("\n")
        if line.startswith("#") or not line.strip():
            field = None
            continue
        header = re.match(r"^([A-Z]\d+) (\S+)$", line)
        if header:
            fault = Fault(*header.groups())
            faults.append(fault)
            field = None
        elif line[:1] in "-+?" and (len(line) == 1 or line[1] == " "):
            field = {"-": "find", "+": "replace", "?": "seen"}[line[0]]
            setattr(fault, field, line[2:])
        elif field in ("find", "replace"):
            setattr(fault, field, getattr(fault, field) + "\n" + line)
        else:
            sys.exit(f"fault list: cannot read line: {line}")
    for fault in faults:
        if fault.find is None or fault.replace is None:
            sys.exit(f"fault {fault.ident}: needs a '-' and a '+' line")
    return faults


def run(command, cwd, log, check=True, timeout=None):
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(command)}\n")
        out.flush()
        try:
            result = subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
    if check and result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)} (see {log})")
    return result.returncode


def sync_tree(root, copy):
    """Makes copy hold the files of the work tree that git does not ignore; unchanged files keep
    their times, so that a second run builds only what changed."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=root,
                            capture_output=True, check=True).stdout.decode().split("\0")
    wanted = {name for name in listed if name and os.path.isfile(os.path.join(root, name))}
    for name in wanted:
        source, target = os.path.join(root, name), os.path.join(copy, name)
        data = open(source, "rb").read()
        if not os.path.isfile(target) or open(target, "rb").read() != data:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(source, target)
    for folder, subfolders, files in os.walk(copy):
        relative = os.path.relpath(folder, copy)
        if relative == "build" or relative.startswith("build" + os.sep):
            subfolders[:] = []
            continue
        for name in files:
            path = os.path.normpath(os.path.join(relative, name))
            if path not in wanted:
                os.remove(os.path.join(folder, name))


def digest_outputs(build):
    digests = {}
    for folder in ("bin", "dist"):
        base = os.path.join(build, folder)
        if not os.path.isdir(base):
            continue
        for name in os.listdir(base):
            path = os.path.join(base, name)
            if os.path.isfile(path):
                with open(path, "rb") as file:
                    digests[os.path.join(folder, name)] = hashlib.sha1(file.read()).hexdigest()
    return digests


def tests_of(build):
    shown = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"], capture_output=True, text=True,
                           check=True).stdout
    tests = []
    for test in json.loads(shown)["tests"]:
        labels = []
        for prop in test.get("properties", []):
            if prop["name"] == "LABELS":
                labels = prop["value"]
        tests.append((test["name"], test.get("command", []), labels))
    return tests


def affected(tests, build, changed):
    programs_changed = any(os.path.basename(path) in PROGRAMS or path.startswith("dist") for path in changed)
    changed_paths = {os.path.normpath(os.path.join(build, path)) for path in changed}
    chosen = []
    for name, command, labels in tests:
        runs_changed = any(os.path.normpath(part) in changed_paths for part in command)
        if runs_changed or ("e2e" in labels and programs_changed):
            chosen.append(name)
    return chosen


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", default=os.path.join(ROOT, "tools", "faults", "fault-list.txt"))
    parser.add_argument("--only", default="")
    parser.add_argument("--scratch", default=os.path.join(ROOT, "build", "faults"))
    parser.add_argument("--port-base", default="18380")
    parser.add_argument("--results", default="")
    parser.add_argument("--hang-seconds", type=int, default=1200)
    parser.add_argument("--check", action="store_true",
                        help="only check that each fault's text occurs once in its file")
    args = parser.parse_args()

    faults = parse_faults(args.list)
    if args.only:
        wanted = set(args.only.split(","))
        faults = [fault for fault in faults if fault.ident in wanted]
    for fault in faults:
        text = open(os.path.join(ROOT, fault.path), encoding="utf-8", newline="").read()
        count = text.replace("\r\n", "\n").count(fault.find)
        if count != 1:
            sys.exit(f"fault {fault.ident}: its text occurs {count} times in {fault.path}")
    if args.check:
        print(f"{len(faults)} faults, each text found once")
        return

    source = os.path.join(os.path.abspath(args.scratch), "src")
    log = os.path.join(os.path.abspath(args.scratch), "run.log")
    os.makedirs(source, exist_ok=True)
    open(log, "w").close()
    print(f"scratch copy in {source}, log in {log}", flush=True)
    sync_tree(ROOT, source)
    native = os.path.join(source, "build", "native")
    windows = os.path.join(source, "build", "windows-x86")
    run(["cmake", "--preset", "native"], source, log)
    run(["cmake", "--preset", "windows-x86", f"-DMEWLARK_SIM_PORT_BASE={args.port_base}"], source, log)
    builds = {native: None, windows: None}
    for build in builds:
        run(["cmake", "--build", build], source, log)
        builds[build] = digest_outputs(build)
    tests = {build: tests_of(build) for build in builds}

    results, started = [], time.time()
    for fault in faults:
        path = os.path.join(source, fault.path)
        original = open(path, encoding="utf-8", newline="").read()
        crlf = "\r\n" in original
        text = original.replace("\r\n", "\n").replace(fault.find, fault.replace, 1)
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write(text.replace("\n", "\r\n") if crlf else text)
        verdict, by = "missed", ""
        try:
            built = all(run(["cmake", "--build", build], source, log, check=False) == 0 for build in builds)
            if not built:
                verdict = "does not build"
            else:
                chosen = {build: affected(tests[build], build, [p for p, d in digest_outputs(build).items()
                                                               if builds[build].get(p) != d]) for build in builds}
                if not any(chosen.values()):
                    verdict = "no effect"
                for build, names in chosen.items():
                    if not names or verdict != "missed":
                        continue
                    ctest = ["ctest", "--test-dir", build, "--stop-on-failure", "--output-on-failure",
                             "-R", "^(" + "|".join(re.escape(name) for name in names) + ")$"]
                    if build == windows:
                        env = ("source tools/lib/test-env.sh && trap test_env_stop EXIT && "
                               "test_env_start build/windows-x86 && " + " ".join(f"'{part}'" for part in ctest))
                        code = run(["bash", "-c", env], source, log, check=False, timeout=args.hang_seconds)
                    else:
                        code = run(ctest, source, log, check=False, timeout=args.hang_seconds)
                    if code is None:
                        verdict, by = "caught", "a test hung"
                    elif code != 0:
                        verdict, by = "caught", failed_test(log)
        finally:
            with open(path, "w", encoding="utf-8", newline="") as file:
                file.write(original)
        results.append((fault, verdict, by))
        print(f"{fault.ident:4} {verdict:14} {by:34} {fault.seen}", flush=True)

    for build in builds:
        run(["cmake", "--build", build], source, log, check=False)
    caught = sum(1 for _, verdict, _ in results if verdict == "caught")
    summary = f"{caught} of {len(results)} faults caught ({int(time.time() - started)} s)"
    print(summary, flush=True)
    if args.results:
        with open(args.results, "w", encoding="utf-8") as out:
            for fault, verdict, by in results:
                out.write(f"{fault.ident} {verdict} {by}\n")
            out.write(summary + "\n")


def failed_test(log):
    """The first test CTest reported as failed in the log's last run."""
    text = open(log, encoding="utf-8", errors="replace").read()
    last = text[text.rfind("\n$ "):]
    found = re.findall(r"Test +#\d+: (\S+) \.+\*+(?:Failed|Timeout|Exception)", last)
    return found[0] if found else "a test failed"


if __name__ == "__main__":
    main()
