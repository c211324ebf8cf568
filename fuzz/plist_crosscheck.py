#!/usr/bin/env python3
"""Holds the program's property-list writer and reader against another reader
of lists, Python's plistlib (by hand; the tests do not need Python).

Makes N random lists as other programs write them: binary lists whose strings
hold control characters, CR, U+FFFE and bytes that are not UTF-8 (as an ASCII
string may), XML lists declaring ISO-8859-1, US-ASCII or UTF-8 (behind a
byte-order mark too), and numbers and dates as plistlib writes them. Each is
read by the program (through plist_roundtrip, built beside the fuzz targets)
and either refused in words or written as XML; then plistlib must read what
the program wrote, and read it as the value it was made from.

Some binary lists hold what plistlib reads but no XML list keeps: a date
with a fraction of a second (XML dates are whole seconds) or the unique id
of an archived object (XML has no form for it). The program must refuse
each at its first read rather than write it changed.

Some are made as no reader should take them: binary lists with half of a
UTF-16 character, or a date before the year 1, past 9999 or no number; XML
lists with a key without its value or outside a dictionary, a raw "]]>", a
sign before hexadecimal digits, a NaN's payload, the year 0000, a date with
a fraction of a second. plistlib must refuse each, and so must the program.

    fuzz/plist_crosscheck.py BUILD_DIR [N] [SEED]
"""
import datetime
import math
import os
import plistlib
import random
import shutil
import struct
import subprocess
import sys
import tempfile

REFUSED = "refused by plistlib"
PIECES = ["a", "Z", "0", " ", "\t", "\n", "\r", "\r\n", "<", ">", "&", "]]>", "'", '"', "\x7f", "\u0085",
          "\u00e9", "\u2028", "\u4e16", "\U0001F600", "\ufffd"]
# What XML cannot carry: a list holding it must be refused, never written.
UNCARRIED = ["\x01", "\x1b", "\x0b", "\ufffe", "\uffff"]
LATIN1 = "QXQX"  # stands for the byte 0xE9 in an ASCII string of a binary list
# Characters that stand for halves of a UTF-16 character, and a date that
# stands for one beyond those a list keeps, in a binary list.
HALVES = {"\u5b57": b"\xd8\x3d", "\u5b58": b"\xde\x00"}
MARK_DATE = datetime.datetime(1987, 6, 5, 4, 3, 2)
BEYOND_DATES = [float("nan"), float("inf"), -float("inf"), 1e300, -1e300,
                252423993600.0,     # 10000-01-01
                -63113904000.5]     # half a second before 0001-01-01
# Text an XML list of plistlib's holds, changed into what no reader takes.
FOREIGN_XML = [
    ("</dict>\n</plist>", "<key>last</key>\n</dict>\n</plist>"),
    ("<plist version=\"1.0\">", "<plist version=\"1.0\"><key>outside</key>"),
    ("<dict>", "<dict><key>list</key><array><key>k</key></array>"),
    ("<dict>", "<dict><key>a]]>b</key><true/>"),
    ("<dict>", "<dict><key>hex</key><integer>-0x10</integer>"),
    ("<dict>", "<dict><key>hex</key><integer>+0x10</integer>"),
    ("<dict>", "<dict><key>nan</key><real>nan(12)</real>"),
    ("<dict>", "<dict><key>zero</key><date>0000-01-01T00:00:00Z</date>"),
    ("<dict>", "<dict><key>half</key><date>2013-05-17T08:30:15.5Z</date>"),
    ("<dict>", "<dict><key>none</key><date>1999-12-31T23:59:59.0Z</date>"),
]


def text(rng, uncarried):
    s = "".join(rng.choice(PIECES) for _ in range(rng.randrange(8)))
    if uncarried == "char":
        at = rng.randrange(len(s) + 1)
        s = s[:at] + rng.choice(UNCARRIED) + s[at:]
    return s


def value(rng, depth, uncarried):
    kind = rng.randrange(9 if depth < 3 else 7)
    if kind == 0:
        return rng.random() < 0.5
    if kind == 1:
        return rng.choice([0, 1, -1, 42, 2 ** 63 - 1, -2 ** 63, 2 ** 64 - 1, rng.randrange(-2 ** 40, 2 ** 40)])
    if kind == 2:
        return rng.choice([0.0, -0.0, 1.0, 0.5, 1.5e10, 1e-300, -2.25, 1e300, math.inf, -math.inf,
                           rng.random() * 1e6])
    if kind in (3, 4):
        return text(rng, uncarried if rng.random() < 0.3 else None)
    if kind == 5:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(20)))
    if kind == 6:
        # A fraction of a second now and then: a binary list keeps it, an
        # XML list drops it.
        micro = rng.choice([0, 0, 0, 0, 1, 250000, 500000, 750000, 999999, rng.randrange(1000000)])
        return datetime.datetime(rng.randrange(1, 9999), rng.randrange(1, 13), rng.randrange(1, 29),
                                 rng.randrange(24), rng.randrange(60), rng.randrange(60), micro)
    if kind == 7:
        return [value(rng, depth + 1, uncarried) for _ in range(rng.randrange(4))]
    return {text(rng, None): value(rng, depth + 1, uncarried) for _ in range(rng.randrange(4))}


def normal(v):
    """A value as XML carries it back: CR LF and CR in text stay as they were
    only when written as references; -0.0 keeps its sign."""
    if isinstance(v, float):
        return ("nan",) if math.isnan(v) else (v, math.copysign(1, v))
    if isinstance(v, bool):
        return ("bool", v)
    if isinstance(v, list):
        return [normal(x) for x in v]
    if isinstance(v, dict):
        return {k: normal(x) for k, x in v.items()}
    return v


def unkept(v):
    """Whether the value holds what plistlib reads and no XML list keeps: a
    date with a fraction of a second, an archived object's id."""
    if isinstance(v, datetime.datetime):
        return v.microsecond != 0
    if isinstance(v, plistlib.UID):
        return True
    if isinstance(v, list):
        return any(unkept(x) for x in v)
    if isinstance(v, dict):
        return any(unkept(x) for x in v.values())
    return False


def carries(v):
    if isinstance(v, str):
        return not any(c in v for c in UNCARRIED) and LATIN1 not in v
    if isinstance(v, list):
        return all(carries(x) for x in v)
    if isinstance(v, dict):
        return all(carries(k) and carries(x) for k, x in v.items())
    return True


def main():
    build = sys.argv[1]
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 59)
    tool = os.path.join(build, "fuzz", "plist_roundtrip")
    work = tempfile.mkdtemp(prefix="plist-crosscheck-")
    made, results = os.path.join(work, "in"), os.path.join(work, "out")
    os.makedirs(made)
    values = {}
    for i in range(n):
        form = rng.choice(["binary", "binary", "binary-latin1", "binary-half", "binary-date", "binary-uid", "xml",
                           "xml-latin1", "xml-bom-latin1", "xml-ascii", "xml-foreign"])
        uncarried = "char" if form == "binary" and rng.random() < 0.3 else None
        root = {text(rng, None): value(rng, 0, uncarried) for _ in range(1 + rng.randrange(4))}
        name = "%05d" % i
        if form.startswith("binary"):
            if form == "binary-latin1":
                root["latin1"] = "caf" + LATIN1
            elif form == "binary-half":
                root["half"] = rng.choice(["\u5b57", "a\u5b58", "\u5b57A\u5b58", "\u5b58\u5b57", "\u00e9\u5b57"])
            elif form == "binary-date":
                root["date"] = MARK_DATE
            elif form == "binary-uid":
                uid = plistlib.UID(rng.randrange(2 ** rng.choice([8, 16, 32, 63])))
                root["uid"] = rng.choice([uid, [uid], {"$class": uid}])
            data = plistlib.dumps(root, fmt=plistlib.FMT_BINARY, sort_keys=False)
            # The stand-in is ASCII, so its string is an ASCII object: its byte
            # becomes one that is no UTF-8.
            if form == "binary-latin1":
                data = data.replace(LATIN1.encode("ascii"), b"\xe9XQX")
            elif form == "binary-half":
                for stand_in, half in HALVES.items():
                    data = data.replace(stand_in.encode("utf-16be"), half)
            elif form == "binary-date":
                since = (MARK_DATE - datetime.datetime(2001, 1, 1)).total_seconds()
                data = data.replace(struct.pack(">d", since), struct.pack(">d", rng.choice(BEYOND_DATES)))
            else:
                # What the file holds: plistlib's writer shares equal objects (0.0 and -0.0 among them).
                root = plistlib.loads(data)
        else:
            # plistlib writes no control character, and CR as LF.
            root = {k.replace("\r", ""): v for k, v in root.items()}
            try:
                xml = plistlib.dumps(root, fmt=plistlib.FMT_XML).decode("utf-8")
            except ValueError:
                continue
            root = plistlib.loads(xml.encode("utf-8"))
            if form in ("xml-latin1", "xml-bom-latin1"):
                try:
                    data = xml.replace('encoding="UTF-8"', 'encoding="ISO-8859-1"').encode("latin-1")
                except UnicodeEncodeError:
                    data = xml.encode("utf-8")
                if form == "xml-bom-latin1":
                    data = b"\xef\xbb\xbf" + data
            elif form == "xml-foreign":
                was, now = rng.choice(FOREIGN_XML)
                data = xml.replace(was, now, 1).encode("utf-8")
            elif form == "xml-ascii":
                data = xml.replace('encoding="UTF-8"', 'encoding="US-ASCII"').encode("utf-8")
            else:
                data = xml.encode("utf-8")
        if form in ("binary-half", "binary-date", "xml-foreign"):
            # Made as no reader takes it: plistlib, to begin with.
            try:
                plistlib.loads(data)
                root = None
            except Exception:  # noqa: BLE001 - any refusal counts
                root = REFUSED
        with open(os.path.join(made, name + ".plist"), "wb") as f:
            f.write(data)
        values[name] = (root, form)
    subprocess.run([tool, made, results], check=True, stdout=subprocess.DEVNULL)

    counts = dict(lists=len(values), written=0, refused=0, refused_rightly=0, refused_wrongly=0,
                  plistlib_refused=0, differ=0, ascii_declared_with_wide=0, foreign=0, foreign_taken=0,
                  foreign_taken_by_plistlib=0, unkept=0, unkept_taken=0)
    for name, (root, form) in sorted(values.items()):
        refused = os.path.join(results, name + ".refused")
        if root is None or root == REFUSED:
            counts["foreign"] += 1
            counts["foreign_taken_by_plistlib"] += root is None
            if not os.path.exists(refused):
                counts["foreign_taken"] += 1
                print("taken", name, form)
            continue
        keeps = not unkept(root)
        counts["unkept"] += not keeps
        if not keeps and not os.path.exists(refused):
            counts["unkept_taken"] += 1
            if counts["unkept_taken"] <= 5:
                print("taken though XML does not keep it", name, form, repr(root)[:300])
            continue
        if os.path.exists(refused):
            counts["refused"] += 1
            reason = open(refused, encoding="utf-8", errors="replace").read()
            declared_ascii_wide = form == "xml-ascii" and "declared US-ASCII" in reason
            counts["ascii_declared_with_wide"] += declared_ascii_wide
            if not carries(root) or not keeps or declared_ascii_wide or "latin1" in root:
                counts["refused_rightly"] += 1
            else:
                counts["refused_wrongly"] += 1
                print("refused", name, form, reason[:200])
            continue
        counts["written"] += 1
        written = open(os.path.join(results, name + ".plist"), "rb").read()
        try:
            back = plistlib.loads(written)
        except Exception as e:  # noqa: BLE001 - any refusal counts
            counts["plistlib_refused"] += 1
            if counts["plistlib_refused"] <= 5:
                print("plistlib refuses", name, form, type(e).__name__, e)
            continue
        if normal(back) != normal(root):
            counts["differ"] += 1
            if counts["differ"] <= 5:
                print("differs", name, form, repr(root)[:300], "->", repr(back)[:300])
    print(" ".join("%s=%d" % kv for kv in counts.items()))
    shutil.rmtree(work)
    return 0 if (counts["plistlib_refused"] == 0 and counts["differ"] == 0 and counts["refused_wrongly"] == 0 and
                 counts["foreign_taken"] == 0 and counts["foreign_taken_by_plistlib"] == 0 and
                 counts["unkept_taken"] == 0) else 1


if __name__ == "__main__":
    sys.exit(main())
