#!/usr/bin/python3
"""The package's documentation files, as Debian policy asks for them.

  package-docs.py OUT_DIR PACKAGE VERSION MAINTAINER NAME HOMEPAGE

writes OUT_DIR/copyright (machine-readable format 1.0) and OUT_DIR/changelog.Debian.gz
(one entry for VERSION, compressed with gzip -9 and no time stamp, dated from
SOURCE_DATE_EPOCH when set, so that a rebuild of the same tree gives the same bytes).
"""

import gzip
import os
import sys
import time


def source_date():
    """SOURCE_DATE_EPOCH, or now when it is unset or empty (a tree without git)."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    return int(epoch) if epoch.isdigit() else int(time.time())


def main(out, package, version, maintainer, name, homepage):
    os.makedirs(out, exist_ok=True)
    holder = maintainer.split(" <")[0]
    year = time.gmtime(source_date()).tm_year
    copyright_text = (
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        "Upstream-Name: %s\n"
        "Upstream-Contact: %s\n" % (name, maintainer))
    if homepage:
        copyright_text += "Source: %s\n" % homepage
    copyright_text += (
        "\n"
        "Files: *\n"
        "Copyright: %d %s\n"
        "License: other\n"
        " All rights reserved by the copyright holder, who alone may grant a\n"
        " license to copy, change or give away this program.\n" % (year, holder))
    write(os.path.join(out, "copyright"), copyright_text.encode())

    stamp = source_date()
    changelog = (
        "%s (%s) stable; urgency=medium\n"
        "\n"
        "  * %s %s.\n"
        "\n"
        " -- %s  %s\n" % (package, version, name, version.rsplit("-", 1)[0], maintainer,
                          time.strftime("%a, %d %b %Y %H:%M:%S +0000", time.gmtime(stamp))))
    path = os.path.join(out, "changelog.Debian.gz")
    with open(path + ".part", "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9,
                           mtime=0) as f:
            f.write(changelog.encode())
    os.replace(path + ".part", path)


def write(path, data):
    with open(path + ".part", "wb") as f:
        f.write(data)
    os.replace(path + ".part", path)


if __name__ == "__main__":
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    main(*sys.argv[1:])
