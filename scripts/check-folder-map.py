#!/usr/bin/env python3
"""Checks that the README's "Where the code lives" table and the folders agree: every folder the
table names exists, every top-level folder and every room of framework/ and app/ is named."""
import os
import re
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
readme = open(os.path.join(root, "README.md"), encoding="utf-8").read()
section = readme.split("## Where the code lives", 1)[1].split("\n## ", 1)[0]
named = set(re.findall(r"^\| `([^`]+)/` \|", section, re.M))

def subdirs(path):
    full = os.path.join(root, path)
    return sorted(d for d in os.listdir(full)
                  if os.path.isdir(os.path.join(full, d)) and not d.startswith("."))

expected = {d for d in subdirs(".") if not d.startswith("build") and d != "node_modules"}
for big in ("framework", "app"):
    expected |= {f"{big}/{room}" for room in subdirs(big)}

missing = sorted(expected - named)
stale = sorted(d for d in named if not os.path.isdir(os.path.join(root, d)))
for d in missing:
    print(f"README: folder {d}/ is not in the table")
for d in stale:
    print(f"README: the table names {d}/, which does not exist")
sys.exit(1 if missing or stale else 0)
