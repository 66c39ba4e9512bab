#!/usr/bin/env python3
"""The profile's JSON Schema against what the programs do.

A profile read by kovrix-cli from the simulator must match the schema, and the same profile with
one bad field must be refused both by the schema and by kovrix-cli (exit 3, nothing sent), so that
the published schema and the program's own check say the same.

usage: profile_schema_contract.py KOVRIX_CLI KOVRIX_SIM SCHEMA_JSON
"""

import copy
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

BAD = [
    ("/format", 2),
    ("/decimalPoint", 4),
    ("/decimalPoint", "2"),
    ("/taxes/0/rate", "7.5"),
    ("/taxes/0/name", "x" * 20),
    ("/taxes/0/linked", "А"),
    ("/taxes/1/type", "vat"),
    ("/header/lines/0/text", "Кава; чай"),
    ("/header/lines/0/width", "wide"),
    ("/operators/0/name", "x" * 21),
    ("/paymentTypes/0/sale", 1),
    ("/communication/address", "10.0.0.256"),
    ("/communication/period", 1441),
    ("/fiscal/taxId", "12345"),
    ("/idDev", 2147483648),
    ("/registratorParameters/drawerOpenPulse", "1a"),
    ("/serviceReminder/events/vibrate", True),
    ("/logo", {}),
]


def put(doc, pointer, value):
    parts = pointer.lstrip("/").split("/")
    node = doc
    for p in parts[:-1]:
        node = node[int(p)] if isinstance(node, list) else node[p]
    last = parts[-1]
    if isinstance(node, list):
        node[int(last)] = value
    else:
        node[last] = value


def main():
    cli, sim, schema_path = (os.path.abspath(a) for a in sys.argv[1:4])
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    with tempfile.TemporaryDirectory(prefix="kovrix-profile-") as work:
        env = dict(os.environ, XDG_STATE_HOME=work)
        simulator = subprocess.Popen([sim], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, cwd=work, env=env)
        try:
            pty = simulator.stdout.readline().strip().split(": ", 1)[1]
            base = [cli, "-p", pty, "-b", "115200"]
            read = subprocess.run(base + ["profile", "read"], capture_output=True, text=True, cwd=work, env=env, timeout=60)
            if read.returncode != 0:
                raise SystemExit("profile read failed: " + read.stderr)
            profile = json.loads(read.stdout)
            for e in validator.iter_errors(profile):
                failures.append("the read profile does not match the schema: %s at %s" % (e.message, list(e.path)))
            for pointer, value in BAD:
                doc = copy.deepcopy(profile)
                put(doc, pointer, value)
                if validator.is_valid(doc):
                    failures.append("the schema takes %s = %r" % (pointer, value))
                path = os.path.join(work, "bad.json")
                with open(path, "w", encoding="utf-8") as f:
                    json.dump(doc, f, ensure_ascii=False)
                run = subprocess.run(base + ["profile", "apply", path], capture_output=True, text=True, cwd=work,
                                     env=env, timeout=60)
                if run.returncode != 3 or pointer not in run.stderr:
                    failures.append("kovrix-cli took %s = %r (exit %d): %s" % (pointer, value, run.returncode, run.stderr))
        finally:
            simulator.terminate()
            simulator.wait(10)
    for f in failures:
        print("FAIL: " + f)
    print("%d failed" % len(failures) if failures else "the schema and kovrix-cli agree")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
