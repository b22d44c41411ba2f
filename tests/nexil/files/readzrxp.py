#!/usr/bin/python3
# Reads a ZRXP file by the rules the common readers follow: ISO-8859-1
# unless told UTF-8 (second argument "utf-8"), header fields split on |*|
# and ;*;, each a known keyword and its value, the zone as UTC+h. Prints
#   block|SANR|SNAME|CNAME|CUNIT
#   value|UTC TIME|VALUE     (nil for RINVAL)
# and |STATUS after the value where the layout names a status column.
# Exit 1 naming what a reader would misread.
import re
import sys
from datetime import datetime, timedelta, timezone

KEYS = ("ZRXPVERSION", "ZRXPCREATOR", "SANR", "SNAME", "CNAME", "CUNIT", "RINVAL", "TZ", "LAYOUT")
encoding = sys.argv[2] if len(sys.argv) > 2 else "iso-8859-1"
text = open(sys.argv[1], "rb").read().decode(encoding)
out = []
block = None
for line in text.split("\n"):
    if not line:
        continue
    if line.startswith("#"):
        if block is None or "values" in block:
            block = {}
        for field in re.split(r"\|\*\||;\*;", line[1:]):
            if not field:
                continue
            key = next((k for k in KEYS if field.startswith(k)), None)
            if key is None:
                sys.exit("unknown header field %r" % field)
            block[key] = field[len(key):]
        continue
    if block is None:
        sys.exit("values before a header")
    if "values" not in block:
        tz = re.match(r"^UTC([+-]\d{1,2})$", block.get("TZ", ""))
        if not tz:
            sys.exit("time zone %r" % block.get("TZ"))
        block["zone"] = timezone(timedelta(hours=int(tz.group(1))))
        block["values"] = True
        out.append("block|%s|%s|%s|%s" % (block.get("SANR"), block.get("SNAME"), block.get("CNAME"),
                                          block.get("CUNIT")))
    layout = re.match(r"^\((.*)\)$", block.get("LAYOUT", "(timestamp,value)"))
    columns = layout.group(1).split(",") if layout else []
    if columns[:2] != ["timestamp", "value"] or any(c not in ("status", "remark") for c in columns[2:]):
        sys.exit("layout %r" % block.get("LAYOUT"))
    cells = line.split()
    if len(cells) != len(columns):
        sys.exit("line %r does not follow the layout %s" % (line, columns))
    row = dict(zip(columns, cells))
    stamp, value = row["timestamp"], row["value"]
    t = datetime.strptime(stamp, "%Y%m%d%H%M%S").replace(tzinfo=block["zone"]).astimezone(timezone.utc)
    text = "value|%s|%s" % (t.strftime("%Y-%m-%dT%H:%MZ"), "nil" if value == block.get("RINVAL") else value)
    if "status" in row:
        if not re.match(r"^\d+$", row["status"]):
            sys.exit("status %r is no number" % row["status"])
        text += "|" + row["status"]
    out.append(text)
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
