#!/usr/bin/env python3
"""Writes seeds for the harnesses beyond the parsers into four folders of the folder given.
mime: each attachment part of the MIME test cases as the second part of a two-part mail, and each
sample data file as a base64 attachment, plain, gzipped and inside a nested multipart.
history: history files of a few records around both clock changes and month ends, one torn.
control: the control channel's requests; config: the test configurations."""
import base64
import gzip
import json
import pathlib
import struct
import sys

root = pathlib.Path(__file__).resolve().parent.parent
top = pathlib.Path(sys.argv[1])
out = top / "mime"
out.mkdir(parents=True, exist_ok=True)

HEAD = b"From: meter@example.org\r\nTo: intake@example.org\r\nSubject: values\r\nMIME-Version: 1.0\r\n"


def multipart(subtype, boundary, parts):
    body = b"".join(b"--" + boundary + b"\r\n" + p + b"\r\n" for p in parts) + b"--" + boundary + b"--\r\n"
    return b"Content-Type: multipart/" + subtype + b"; boundary=\"" + boundary + b"\"\r\n\r\n" + body


def attachment(name, data):
    lines = base64.encodebytes(data).replace(b"\n", b"\r\n")
    return (b"Content-Type: application/octet-stream; name=\"" + name + b"\"\r\n"
            b"Content-Transfer-Encoding: base64\r\n"
            b"Content-Disposition: attachment; filename=\"" + name + b"\"\r\n\r\n" + lines)


text = b"Content-Type: text/plain; charset=us-ascii\r\n\r\nValues attached.\r\n"
cases = json.loads((root / "tests/data/mail/mime-parts.json").read_text())["attachment parts"]
for i, case in enumerate(cases):
    part = case["headers"].encode("latin-1") + b"\r\n" + case["body"].encode("latin-1")
    (out / f"part-{i}.eml").write_bytes(HEAD + multipart(b"mixed", b"b1", [text, part]))

samples = sorted(p for p in (root / "tests/data").rglob("*") if p.is_file() and p.stat().st_size < 8192
                 and p.suffix not in (".json", ".expected"))
for i, path in enumerate(samples):
    name, data = path.name.encode(), path.read_bytes()
    (out / f"file-{i}.eml").write_bytes(HEAD + multipart(b"mixed", b"b1", [text, attachment(name, data)]))
    if i % 4 == 0:
        zipped = attachment(name + b".gz", gzip.compress(data, mtime=0))
        nested = multipart(b"mixed", b"b2", [text, zipped])
        (out / f"nested-{i}.eml").write_bytes(HEAD + multipart(b"mixed", b"b1", [text, nested]))

history = top / "history"
history.mkdir(exist_ok=True)


def header(name):
    head = bytearray(1024)
    head[:len(name)] = name
    head[164:168] = struct.pack("<I", 31)
    return bytes(head)


def record(seconds, ms, state, value):
    return struct.pack("<IHHId", seconds, ms, 0, state, value)


# 2024-03-31 00:00 UTC (spring change), 2024-10-27 00:00 UTC (autumn change), 2024-12-31 23:00 UTC
for i, start in enumerate((1711843200, 1729987200, 1735686000)):
    records = b"".join(record(start + q * 900, q % 3, 2 if q % 5 else 0x10002, q * 0.25) for q in range(12))
    (history / f"point-{i}.hdbx").write_bytes(header(b"Meter_%d.kWh" % i) + records)
(history / "torn.hdbx").write_bytes(header(b"torn") + record(1711843200, 0, 2, 1.0) + b"\x01\x02\x03")

control = top / "control"
control.mkdir(exist_ok=True)
for i, request in enumerate((b"status\n", b"status json\n", b"pause\r\n", b"  check  \n", b"reload\nstatus\n")):
    (control / f"request-{i}").write_bytes(request)

config = top / "config"
config.mkdir(exist_ok=True)
for path in sorted((root / "tests/config/data").rglob("*.ini")):
    (config / path.name).write_bytes(path.read_bytes())
