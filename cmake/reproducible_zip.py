#!/usr/bin/env python3
"""Zip archives that depend on nothing but their files' bytes and names: one
fixed time for every entry, members in name order, permissions 644 or 755,
and no extra fields (where zip tools keep access and change times).

usage: reproducible_zip.py EPOCH rewrite ARCHIVE
       reproducible_zip.py EPOCH create ARCHIVE MEMBER=FILE...
"""
import sys
import time
import zipfile


def entry(name, epoch, mode):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, 315532800))[:6])
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = mode << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def write(archive, epoch, members):
    """members: [(name, bytes or None for a folder, executable)]."""
    with zipfile.ZipFile(archive, "w") as z:
        for name, data, executable in sorted(members, key=lambda m: m[0]):
            if data is None:
                info = entry(name.rstrip("/") + "/", epoch, 0o40755)
                info.compress_type = zipfile.ZIP_STORED
                z.writestr(info, b"")
            else:
                z.writestr(entry(name, epoch, 0o100755 if executable else 0o100644), data, compresslevel=9)


def main():
    epoch, action, archive = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    if action == "rewrite":
        with zipfile.ZipFile(archive) as z:
            members = [(i.filename, None if i.is_dir() else z.read(i), bool((i.external_attr >> 16) & 0o111))
                       for i in z.infolist()]
    elif action == "create":
        members = []
        for pair in sys.argv[4:]:
            name, path = pair.split("=", 1)
            with open(path, "rb") as f:
                members.append((name, f.read(), False))
    else:
        sys.exit(f"unknown action {action}")
    write(archive, epoch, members)
    return 0


if __name__ == "__main__":
    sys.exit(main())
