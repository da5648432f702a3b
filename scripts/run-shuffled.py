#!/usr/bin/env python3
"""Runs every GoogleTest program of the build once more in one process, its tests shuffled and
repeated three times, with the environment ctest gives it: a test that leaves process-wide state
behind makes a later one fail. The seed is printed by each program; QNT_SHUFFLE_SEED=<n> runs
that order again."""
import concurrent.futures
import json
import os
import subprocess
import sys
import time

# Tests that need a process of their own by design, left out here (ctest runs each alone).
SEPARATE_PROCESS = {
    # The telemetry client starts once per process; this test is that start.
    "telemetry_core_tests": ["PLNSettingsFromPlinth.*"],
    # These start the real program again and again, each launch in a process and a home of its
    # own: the test process keeps nothing a shuffle could upset, and ctest runs them once.
    "app_tests": ["LaunchEndToEnd.*", "XSessionEndToEnd.*", "CrashReportingEndToEnd.*"],
}

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
listing = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, check=True,
                         capture_output=True, text=True).stdout
programs = {}
for test in json.loads(listing)["tests"]:
    command = test.get("command", [])
    if not any(arg.startswith("--gtest_filter=") for arg in command[1:]):
        continue
    environment = {}
    workdir = build
    for prop in test.get("properties", []):
        if prop["name"] == "ENVIRONMENT":
            for entry in prop["value"]:
                name, _, value = entry.partition("=")
                if name:
                    environment[name] = value
        elif prop["name"] == "WORKING_DIRECTORY":
            workdir = prop["value"]
    programs.setdefault(command[0], (environment, workdir))


def run(program, environment, workdir):
    name = os.path.basename(program)
    arguments = [program, "--gtest_shuffle", "--gtest_repeat=3"]
    if os.environ.get("QNT_SHUFFLE_SEED"):
        arguments.append("--gtest_random_seed=" + os.environ["QNT_SHUFFLE_SEED"])
    if name in SEPARATE_PROCESS:
        arguments.append("--gtest_filter=-" + ":".join(SEPARATE_PROCESS[name]))
    started = time.monotonic()
    result = subprocess.run(arguments, cwd=workdir, env={**os.environ, **environment},
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            errors="replace")
    log = os.path.join(build, "test-logs", name + ".shuffled.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    with open(log, "w", encoding="utf-8") as out:
        out.write(result.stdout)
    return name, result, time.monotonic() - started


failed = []
# As many programs at once as ctest runs tests (one per core).
with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
    jobs = [pool.submit(run, program, *setup) for program, setup in sorted(programs.items())]
    for job in concurrent.futures.as_completed(jobs):
        name, result, seconds = job.result()
        verdict = "passed" if result.returncode == 0 else f"FAILED ({result.returncode})"
        print(f"shuffled x3: {name} {verdict} in {seconds:.0f} s", flush=True)
        if result.returncode != 0:
            failed.append(name)
            lines = result.stdout.splitlines()
            print(f"(the whole output: build/test-logs/{name}.shuffled.log)")
            print("\n".join(l for l in lines if "Randomizing tests' orders" in l))
            print("\n".join(l for l in lines if l.endswith(": Failure") or l.startswith("[  FAILED")
                            or "left the process" in l)[-20000:])
sys.exit(1 if failed else 0)
