#!/usr/bin/env python3
"""Writes the character reference tables of src/html/CharRefs.cpp: every named reference of
the HTML standard (with ";", and the legacy ones also without it) from Python's
html.entities.html5, sorted by name for a binary search, and the Windows-1252 characters that
browsers give the numeric references 128 to 159, from Python's cp1252 codec (the five bytes
that codec leaves undefined stay the code point itself, as the standard says).

  CharRefTables.py OUTPUT
"""
import html.entities
import sys


def c_bytes(text):
    return "".join("\\x%02X" % b for b in text.encode("utf-8"))


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    names = html.entities.html5
    lines = ["// Made at build time by cmake/CharRefTables.py from Python's html.entities.html5",
             "// and its cp1252 codec. Do not edit.",
             "",
             "constexpr size_t kLongestRefName = %d;" % max(len(n) for n in names),
             "",
             "constexpr NamedRef kNamedRefs[] = {"]
    for name in sorted(names):
        lines.append('    {"%s", "%s"},' % (name, c_bytes(names[name])))
    lines.append("};")
    lines.append("")
    lines.append("constexpr uint32_t kWindows1252[32] = {")
    row = []
    for b in range(0x80, 0xA0):
        try:
            cp = ord(bytes([b]).decode("cp1252"))
        except UnicodeDecodeError:
            cp = b
        row.append("0x%04X," % cp)
    for i in range(0, 32, 8):
        lines.append("    " + " ".join(row[i:i + 8]))
    lines.append("};")
    text = "\n".join(lines) + "\n"
    try:
        with open(argv[1], encoding="utf-8") as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(argv[1], "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
