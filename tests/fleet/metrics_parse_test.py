#!/usr/bin/env python3
"""vudfleet --format metrics as monitoring reads it: parsed by the Prometheus client's
own text parser (group test of tools/packages), over a small fleet made by
vudsample: two complete correct installations, one with findings, an empty folder and a
path that does not exist; then the same held to a rollout of FWP 11.0.

    metrics_parse_test.py VUDFLEET VUDSAMPLE

Exits 77 (skipped) when the parser is not installed.
"""
import csv
import io
import os
import subprocess
import sys
import tempfile
import time

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    print("skipped: no prometheus_client module (tools/setup test)")
    sys.exit(77)

vudfleet, vudsample = sys.argv[1:3]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


with tempfile.TemporaryDirectory() as work:
    subprocess.run([vudsample, os.path.join(work, "ok11"), "11.0", "--correct-only"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([vudsample, os.path.join(work, "ok8"), "8.0", "--correct-only"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([vudsample, os.path.join(work, "findings"), "11.0"], check=True, stdout=subprocess.DEVNULL)
    os.mkdir(os.path.join(work, "empty"))
    fleet = [os.path.join(work, name) for name in ("ok11", "ok8", "findings", "empty", "missing")]

    before = int(time.time())
    run = subprocess.run([vudfleet, "--format", "metrics"] + fleet, capture_output=True)
    after = int(time.time())
    totals = subprocess.run([vudfleet, "--format", "totals"] + fleet, capture_output=True)
    held = subprocess.run([vudfleet, "--format", "metrics", "--expect-generation", "11", "--require-all"] + fleet,
                          capture_output=True)

check(run.returncode == 2, "exit status 2 for the missing path, got %d" % run.returncode)
raw = run.stdout
# What the textfile collectors ask of a .prom file.
check(raw.endswith(b"\n"), "ends with a line feed")
check(b"\r" not in raw, "LF line ends only")
check(not raw.startswith(b"\xef\xbb\xbf"), "no byte order mark")
text = raw.decode("ascii")

families = {family.name: family for family in text_string_to_metric_families(text)}
check(set(families) == {"vudfleet_installations", "vudfleet_errors", "vudfleet_mixed_installations",
                        "vudfleet_checker_out_of_date_installations", "vudfleet_applications",
                        "vudfleet_scan_timestamp_seconds", "vudfleet_info"},
      "metric names: %s" % sorted(families))
for family in families.values():
    check(family.type == "gauge", family.name + " is a gauge")
    check(family.documentation != "", family.name + " has HELP")
    for sample in family.samples:
        check(sample.timestamp is None, "no time stamp on " + sample.name)


def value(name, **labels):
    found = [s.value for s in families[name].samples if s.labels == labels]
    check(len(found) == 1, "one sample %s %s" % (name, labels))
    return found[0] if found else None


check(value("vudfleet_installations", status="ok") == 2, "2 ok")
check(value("vudfleet_installations", status="findings") == 2, "2 with findings (the sample, the empty folder)")
check(value("vudfleet_installations", status="error") == 1, "1 error")
check(value("vudfleet_errors") == 1, "1 error")
check(value("vudfleet_mixed_installations") == 0, "none mixed")
check(value("vudfleet_checker_out_of_date_installations") == 1, "the sample has a newer build")
check(before <= value("vudfleet_scan_timestamp_seconds") <= after, "the scan's time")
info = families["vudfleet_info"].samples
check(len(info) == 1 and info[0].value == 1 and info[0].labels["checker_version"] == "2.3.0", "info")

# Each application: one series per verdict and state, adding up to the 4 installations
# read, and the same counts as the totals a script reads.
rows = list(csv.DictReader(io.StringIO(totals.stdout.decode("ascii"), newline="")))
check(len(rows) == 41, "41 applications in the totals")
verdicts = ["correct", "size_mismatch", "beta", "test", "pre_release", "older", "newer", "unrecognized"]
for row in rows:
    application = row["file"]
    series = [s for s in families["vudfleet_applications"].samples if s.labels["application"] == application]
    check(len(series) == 11, application + ": 11 series")
    check(sum(s.value for s in series) == 4, application + ": 4 installations read")
    for verdict in verdicts:
        check(value("vudfleet_applications", application=application, state="block", verdict=verdict) ==
              int(row[verdict.replace("-", "_")]), application + " " + verdict + " as in the totals")
    for state in ["not_found", "no_tag", "absent"]:
        check(value("vudfleet_applications", application=application, state=state) ==
              int(row[state.replace("-", "_")]), application + " " + state + " as in the totals")

# Held to a rollout of FWP 11.0 with every application required: the FWP 8.0
# installation breaks the generation rule with all 41 applications; the sample (one
# application not found) and the empty folder break the other.
held_families = {family.name: family for family in text_string_to_metric_families(held.stdout.decode("ascii"))}
check(set(held_families) - set(families) == {"vudfleet_policy_installations", "vudfleet_policy_applications"},
      "the rollout adds two families: %s" % sorted(set(held_families) - set(families)))
if "vudfleet_policy_installations" in held_families and "vudfleet_policy_applications" in held_families:
    by_rule = {s.labels["rule"]: s.value for s in held_families["vudfleet_policy_installations"].samples}
    check(by_rule == {"wrong_generation": 1, "required": 2}, "installations by rule: %s" % by_rule)
    breaking = held_families["vudfleet_policy_applications"].samples
    check(len(breaking) == 82, "a series per application and rule")
    check(sum(s.value for s in breaking if s.labels["rule"] == "wrong_generation") == 41, "41 of a wrong generation")
    check(sum(s.value for s in breaking if s.labels["rule"] == "required") == 42, "42 required, not found")
held_installations = {s.labels["status"]: s.value for s in held_families["vudfleet_installations"].samples}
check(held_installations == {"ok": 1, "findings": 3, "error": 1}, "held: %s" % held_installations)

print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
