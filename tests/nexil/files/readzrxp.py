#!/usr/bin/python3
# Reads a ZRXP file by the rules the common readers follow: ISO-8859-1
# unless told UTF-8 (second argument "utf-8"), header fields split on |*|
# and ;*;, each a known keyword and its value, the zone as UTC+h. Prints
#   block|SANR|SNAME|CNAME|CUNIT
#   value|UTC TIME|VALUE     (nil for RINVAL)
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
    stamp, value = line.split()
    t = datetime.strptime(stamp, "%Y%m%d%H%M%S").replace(tzinfo=block["zone"]).astimezone(timezone.utc)
    out.append("value|%s|%s" % (t.strftime("%Y-%m-%dT%H:%MZ"), "nil" if value == block.get("RINVAL") else value))
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
