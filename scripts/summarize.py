#!/usr/bin/env python3
"""Counts what one CTest run did, case by case.

usage: summarize.py SUITE JUNIT REPORTS_DIR

JUNIT is CTest's --output-junit file (one entry per test executable);
REPORTS_DIR holds GoogleTest XML reports named after the executables. A
GoogleTest executable counts its cases; any other CTest test counts once.
An executable that CTest saw fail counts at least one failure even when its
report says otherwise (a crash after the last case, a missing report).
Prints one line "SUITE: N passed, N failed" and writes the two numbers to
stdout's last line as "COUNTS N N" for the caller.
"""
import os
import sys
import xml.etree.ElementTree as ET

suite, junit, reports = sys.argv[1], sys.argv[2], sys.argv[3]
passed = failed = 0
failures = []
try:
    root = ET.parse(junit).getroot()
    cases = root.iter("testcase")
except (OSError, ET.ParseError):
    cases = []
    failed += 1
    failures.append("(no CTest results)")

for case in cases:
    name = case.get("name")
    status = case.get("status", "run")
    ctest_failed = status == "fail" or case.find("failure") is not None or case.find("error") is not None
    if status == "notrun" or case.find("skipped") is not None and status != "run":
        failed += 1
        failures.append(name + " (not run)")
        continue
    report = os.path.join(reports, name + ".xml")
    if os.path.exists(report):
        try:
            g = ET.parse(report).getroot()
            total = int(g.get("tests", 0))
            bad = int(g.get("failures", 0)) + int(g.get("errors", 0))
            disabled = int(g.get("disabled", 0))
            skipped = sum(1 for tc in g.iter("testcase") if tc.get("result") == "skipped")
            ok = total - bad - disabled - skipped
            if ctest_failed and bad == 0:
                bad = 1
            passed += ok
            failed += bad
            if bad:
                failures.append(name)
            continue
        except (ET.ParseError, ValueError):
            pass
    if ctest_failed:
        failed += 1
        failures.append(name)
    else:
        passed += 1

print(f"{suite}: {passed} passed, {failed} failed" + (f"  [{', '.join(failures)}]" if failures else ""))
print(f"COUNTS {passed} {failed}")
