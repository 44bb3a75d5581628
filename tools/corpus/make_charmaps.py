#!/usr/bin/env python3
"""Write the byte tables of charsets that neither Python nor glibc iconv convert.

    python3 tools/corpus/make_charmaps.py      (needs the Debian package "recode")

Each table, tools/corpus/charmaps/<name>.txt, has one line per defined byte:
"0xHH<TAB>U+XXXX".  The encoder reads these files; recode is only needed to
regenerate them.
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = {"AtariST": "AtariST", "NeXT": "NeXTSTEP"}  # file name -> recode charset


def decode_byte(charset, byte):
    result = subprocess.run(["recode", "-f", f"{charset}..UTF-8"], input=bytes([byte]),
                            capture_output=True, check=False)
    text = result.stdout.decode("utf-8", "replace")
    return text if result.returncode == 0 and len(text) == 1 else None


def main():
    out_dir = os.path.join(HERE, "charmaps")
    os.makedirs(out_dir, exist_ok=True)
    for name, charset in TABLES.items():
        lines = []
        for byte in range(256):
            if byte < 0x20 or byte == 0x7F:
                ch = chr(byte)  # C0 controls and DEL are shared with ASCII
            else:
                ch = decode_byte(charset, byte)
            if ch is not None and ch != "\ufffd":
                lines.append(f"0x{byte:02X}\tU+{ord(ch):04X}\n")
        with open(os.path.join(out_dir, name + ".txt"), "w", encoding="ascii", newline="\n") as handle:
            handle.writelines(lines)
        print(f"{name}: {len(lines)} bytes defined")
    return 0


if __name__ == "__main__":
    sys.exit(main())
