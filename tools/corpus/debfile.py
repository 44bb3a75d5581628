"""Read Debian binary packages (.deb) with the standard library only.

A .deb is an ar archive holding control.tar.* and data.tar.*; both are read
straight from the archive, nothing is unpacked to disk.
"""

import io
import tarfile

_AR_MAGIC = b"!<arch>\n"


def _ar_members(data):
    """(name, bytes) of each member of an ar archive."""
    if not data.startswith(_AR_MAGIC):
        raise ValueError("not an ar archive")
    pos = len(_AR_MAGIC)
    while pos + 60 <= len(data):
        header = data[pos:pos + 60]
        name = header[:16].decode("ascii").strip().rstrip("/")
        size = int(header[48:58].decode("ascii").strip())
        pos += 60
        yield name, data[pos:pos + size]
        pos += size + (size & 1)


def _open_tar(name, blob):
    if name.endswith(".zst"):
        raise ValueError(f"{name}: zstd members are not supported")
    return tarfile.open(fileobj=io.BytesIO(blob), mode="r:*")


class DebPackage:
    """One .deb file: its control fields and the files of its data part."""

    def __init__(self, path):
        with open(path, "rb") as handle:
            members = dict(_ar_members(handle.read()))
        control_name = next(n for n in members if n.startswith("control.tar"))
        self._data_name = next(n for n in members if n.startswith("data.tar"))
        self._data_blob = members[self._data_name]
        self.fields = {}
        with _open_tar(control_name, members[control_name]) as tar:
            for info in tar.getmembers():
                if info.name.lstrip("./") == "control":
                    self.fields = parse_control(tar.extractfile(info).read().decode("utf-8"))
        self.package = self.fields.get("Package", "")
        self.version = self.fields.get("Version", "")

    def files(self, wanted):
        """Yield (path, bytes) of regular files whose path satisfies ``wanted``.

        Paths lose their leading "./"; files come in sorted path order.
        """
        with _open_tar(self._data_name, self._data_blob) as tar:
            infos = [i for i in tar.getmembers() if i.isfile()]
            infos.sort(key=lambda i: i.name)
            for info in infos:
                path = info.name[2:] if info.name.startswith("./") else info.name
                if wanted(path):
                    yield path, tar.extractfile(info).read()


def parse_control(text):
    """Fields of a Debian control paragraph (continuation lines folded in)."""
    fields = {}
    key = None
    for line in text.splitlines():
        if line[:1] in (" ", "\t") and key:
            fields[key] += "\n" + line.strip()
        elif ":" in line:
            key, _, value = line.partition(":")
            key = key.strip()
            fields[key] = value.strip()
    return fields
