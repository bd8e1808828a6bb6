#!/usr/bin/python3
"""Refuses a package that repeats a version already built with other content.

  deb-release.py RECORDS DEB...

For each .deb, the record RECORDS/<package>_<version>.content lists what the
package holds: its control fields and, for every file, its path, mode and the
SHA-256 of its bytes (or a link's target). Times are left out, so the same tree
built again matches. A .deb whose record exists and differs is refused, and
removed, with a message saying to raise the version: apt would take it for the
package it already has and never install it. A new version gets a new record.
"""

import hashlib
import io
import os
import subprocess
import sys
import tarfile


def content(deb):
    fields = subprocess.run(["dpkg-deb", "--field", deb], capture_output=True, check=True,
                            text=True).stdout
    # Installed-Size follows the files, which are compared below.
    lines = [line for line in fields.splitlines() if not line.startswith("Installed-Size:")]
    data = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True,
                          check=True).stdout
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        for member in sorted(tar.getmembers(), key=lambda m: m.name):
            if member.isfile():
                digest = hashlib.sha256(tar.extractfile(member).read()).hexdigest()
            elif member.issym() or member.islnk():
                digest = "-> " + member.linkname
            else:
                digest = "dir" if member.isdir() else "type %s" % member.type
            lines.append("%s %o %s" % (member.name, member.mode, digest))
    return "\n".join(lines) + "\n"


def field(deb, name):
    return subprocess.run(["dpkg-deb", "--field", deb, name], capture_output=True,
                          check=True, text=True).stdout.strip()


def main(records, debs):
    os.makedirs(records, exist_ok=True)
    refused = False
    for deb in debs:
        package, version = field(deb, "Package"), field(deb, "Version")
        record = os.path.join(records, "%s_%s.content" % (package, version))
        now = content(deb)
        if os.path.exists(record):
            with open(record, encoding="utf-8") as f:
                if f.read() != now:
                    os.remove(deb)
                    print("%s %s was built before with other content (%s).\n"
                          "apt would keep the package it has and never install this one: "
                          "raise the version (\"version\" in lumio.json) and build again.\n"
                          "If that build was never given to anyone, delete the record "
                          "instead." % (package, version, record), file=sys.stderr)
                    refused = True
            continue
        with open(record + ".part", "w", encoding="utf-8") as f:
            f.write(now)
        os.replace(record + ".part", record)
    return 1 if refused else 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
