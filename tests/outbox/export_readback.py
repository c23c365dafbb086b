#!/usr/bin/env python3
"""Exports an outbox whose texts hold tabs, line breaks and quotes, and reads the file back with
Python's csv module as a spreadsheet reads tab-separated text: every message must come back as one
record with its text unchanged."""
import csv
import io
import subprocess
import sys
import tempfile

cli = sys.argv[1]
texts = ["plain", "a\ttab", "two\r\nlines", 'say "hi"', "mixed\t\"q\"\nend", "ünïcödé ✓"]

with tempfile.TemporaryDirectory() as data:
    def run(*args):
        r = subprocess.run([cli, "--data-dir", data, *args], capture_output=True, timeout=60)
        if r.returncode != 0:
            sys.exit(f"quillon-cli {' '.join(args)} failed: {r.stderr.decode()}")
        return r.stdout.decode()

    ids = [run("outbox", "add", "--to", f"08{i}", "--text", t).strip() for i, t in enumerate(texts)]
    path = f"{data}/out.txt"
    # Selected messages in a chosen order, as from a sorted list.
    order = list(reversed(ids))
    run("outbox", "export", path, *sum((["--id", i] for i in order), []))
    raw = open(path, "rb").read()
    content = raw.decode("utf-8")
    body, note = content.rsplit("\r\n", 1)
    assert note.startswith("==========\nPlease note"), note
    rows = list(csv.reader(io.StringIO(body + "\r\n", newline=""), delimiter="\t"))
    assert rows[0] == ["ID", "Time", "Status", "Type", "Charge", "To", "Msg"], rows[0]
    records = rows[1:]
    assert len(records) == len(texts), records
    for record, want_id in zip(records, order):
        assert len(record) == 7, record
        assert record[0] == want_id, (record, want_id)
        assert record[6] == texts[ids.index(want_id)], (record[6], texts[ids.index(want_id)])
        assert record[2] == "Pending" and record[3] == "Text" and record[4] == "?", record
print(f"{len(texts)} passed, 0 failed")
