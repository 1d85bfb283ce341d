#!/usr/bin/env python3
"""Every line vudfleet --format json writes, checked against doc/vudfleet-record.schema.json
by a real validator (the test group of tools/packages, JSON Schema 2020-12).

The fleet, made by vudsample and vudcheck: installations of two generations, one with
findings, a damaged one, a mixed one with a generation no host has, an empty folder, saved reports (one edited,
one written years ago), a path that does not exist; scanned plainly, against a rollout's rules, with --findings,
with --max-report-age, against a baseline from which installations were added and removed, one of them off that
night and the next, and held to a reference build made from one of them, another with a file patched. The lines
must between them show every status, source, state, verdict, change, rule, report time and reference state, what
is last seen of an installation off, and the end line of a scan kept as state, so that no branch of the schema
goes untried.

    record_schema_test.py VUDFLEET VUDSAMPLE VUDCHECK SCHEMA

Exits 77 (skipped) when the validator is not installed.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("skipped: no jsonschema module (tools/setup test)")
    sys.exit(77)

vudfleet, vudsample, vudcheck, schema_path = map(os.path.abspath, sys.argv[1:5])
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)


def sample(folder, host, *options):
    subprocess.run([vudsample, folder, host, *options], check=True, stdout=subprocess.DEVNULL)


def report_of(folder, report):
    with open(report, "wb") as out:
        subprocess.run([vudcheck], cwd=folder, check=True, stdout=out)


seen = {key: set() for key in ("status", "source", "state", "verdict", "change", "application change",
                               "policy", "generation", "report time", "stale report", "reference", "line")}
lines = 0


def scan(work, name, *arguments):
    """Runs vudfleet --format json and checks each line it writes."""
    global lines
    run = subprocess.run([vudfleet, "--format", "json", *arguments], cwd=work, capture_output=True)
    check(run.returncode in (0, 1, 2), "%s: exit status %d" % (name, run.returncode))
    with open(os.path.join(work, name + ".json"), "wb") as saved:
        saved.write(run.stdout)
    written = run.stdout.decode("utf-8").splitlines()
    for number, line in enumerate(written, 1):
        lines += 1
        record = json.loads(line)
        for error in validator.iter_errors(record):
            check(False, "%s line %d (%s): %s at %s" % (name, number, record.get("installation"), error.message,
                                                         "/".join(str(p) for p in error.absolute_path)))
        # A scan against a baseline is kept as state: its last line, and only that, ends it.
        check(record.get("end", False) == ("--baseline" in arguments and number == len(written)),
              "%s line %d: an end line where the scan ends, and nowhere else" % (name, number))
        if record.get("end"):
            seen["line"].add("end")
            continue
        if "last_seen" in record:
            seen["line"].add("last seen " + str(record["status"]))
        seen["status"].add(record["status"])
        seen["source"].add(record["source"])
        if "change" in record:
            seen["change"].add(record["change"])
        if "report_time" in record:
            seen["report time"].add("null" if record["report_time"] is None else "time")
        if "stale_report" in record:
            seen["stale report"].add(record["stale_report"])
        for application in record["applications"]:
            seen["state"].add(application["state"])
            seen["verdict"].add(application["verdict"])
            seen["generation"].add(application["generation"])
            if "change" in application:
                seen["application change"].add(application["change"])
            if "policy" in application:
                seen["policy"].add(application["policy"])
            if "reference" in application:
                seen["reference"].add(application["reference"])
    return run


with tempfile.TemporaryDirectory() as work:
    def path(name):
        return os.path.join(work, name)

    sample(path("ws11"), "11.0", "--correct-only")
    sample(path("ws8"), "8.0", "--correct-only")
    sample(path("findings"), "11.0")
    sample(path("deep"), "10.0", "--deep-tags")
    shutil.copytree(path("ws11"), path("damaged"))
    open(os.path.join(path("damaged"), "vud_mcp.ma"), "wb").close()
    shutil.copytree(path("ws11"), path("mixed"))
    shutil.copy(os.path.join(path("ws8"), "vud_bsg.ma"), os.path.join(path("mixed"), "vud_bsg.ma"))
    # A tag whose generation no host has: "ver 15.".
    with open(os.path.join(path("mixed"), "vud_cbp.ma"), "r+b") as f:
        data = f.read()
        f.seek(0)
        f.write(data.replace(b"ver 11.", b"ver 15.", 1))
    os.mkdir(path("empty"))
    report_of(path("ws8"), path("ws8.txt"))
    report_of(path("findings"), path("findings.txt"))
    with open(path("findings.txt"), encoding="latin-1") as f:
        edited = f.read().replace("Size: ", "Size: 1", 1)
    with open(path("edited.txt"), "w", encoding="latin-1") as f:
        f.write(edited)
    shutil.copy(path("ws8.txt"), path("old.txt"))
    os.utime(path("old.txt"), (1577836800, 1577836800))  # 2020-01-01

    shutil.copytree(path("findings"), path("off"))
    yesterday = ["ws11", "ws8", "findings", "damaged", "gone-since", "ws8.txt", "off"]
    os.mkdir(path("gone-since"))
    scan(work, "yesterday", *yesterday)
    shutil.rmtree(path("gone-since"))
    # Off tonight and tomorrow; not in the list tomorrow.
    shutil.rmtree(path("off"))
    fleet = ["ws11", "ws8", "findings", "deep", "damaged", "mixed", "empty", "ws8.txt", "findings.txt",
             "edited.txt", "missing"]
    plain = scan(work, "plain", *fleet)
    check(plain.returncode == 2, "plain: exit status 2 for the missing path and the edited report")
    scan(work, "policy", "--expect-generation", "11,12", "--require-all", *fleet)
    scan(work, "findings-only", "--findings", "--expect-generation", "11", *fleet)
    scan(work, "report-age", "--max-report-age", "30", "old.txt", *fleet)
    # Since yesterday ws8 moved on to FWP 11.0, and the damaged file was put right.
    shutil.rmtree(path("ws8"))
    shutil.copytree(path("ws11"), path("ws8"))
    shutil.copy(os.path.join(path("ws11"), "vud_mcp.ma"), os.path.join(path("damaged"), "vud_mcp.ma"))
    scan(work, "changes", "--baseline", "yesterday.json", "--expect-generation", "11", *fleet, "off")
    scan(work, "after", "--baseline", "changes.json", "--expect-generation", "11", *fleet)
    # Held to the reference of ws11, a copy of it with one byte of vud_mcp.ma changed
    # behind its tag: verified, modified, unreferenced (the others) and not_verifiable
    # (the reports), with the rollout's rules and the baseline too.
    subprocess.run([vudfleet, "--write-reference", "reference.txt", "ws11"], cwd=work, check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copytree(path("ws11"), path("patched"))
    with open(os.path.join(path("patched"), "vud_mcp.ma"), "r+b") as f:
        f.seek(-1, os.SEEK_END)
        last = f.read(1)
        f.seek(-1, os.SEEK_END)
        f.write(bytes([last[0] ^ 1]))
    scan(work, "reference", "--reference", "reference.txt", "patched", *fleet)
    scan(work, "reference-required", "--reference", "reference.txt", "--require-reference", "--baseline",
         "changes.json", "--expect-generation", "11", "patched", *fleet)

check(lines > 0, "lines were written")
expected = {
    "status": {"ok", "findings", "error", None},
    "source": {"folder", "report"},
    "state": {"block", "not_found", "no_tag", "absent"},
    "verdict": {"correct", "size_mismatch", "beta", "older", "newer", None},
    "change": {"added", "gone", "changed", "unchanged"},
    "application change": {"new_finding", "fixed", "changed", "unchanged"},
    "policy": {"wrong_generation", "required", None},
    "generation": {"8", "10", "11", None},
    "report time": {"time", "null"},
    "stale report": {True, False, None},
    "reference": {"verified", "modified", "unreferenced", "not_verifiable", None},
    "line": {"end", "last seen error", "last seen None"},
}
for key, values in expected.items():
    check(values <= seen[key], "the lines show every %s of %s; missing %s" % (key, sorted(map(str, values)),
                                                                             sorted(map(str, values - seen[key]))))

print("%d lines checked; %d passed, %d failed" % (lines, 1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
