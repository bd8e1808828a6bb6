#!/usr/bin/python3
"""The application's identity file (lumio.json beside the web application).

  app-identity.py check SCHEMA FILE OUT   validate FILE, write its values to OUT (CMake)
  app-identity.py icon SOURCE SIZE OUT    render a PNG or SVG icon as a SIZE x SIZE PNG

Every problem is reported as "FILE: key 'KEY': what is wrong", and the exit status is
1, so that a bad file stops the build instead of yielding a half-branded program.
"""

import base64
import json
import os
import re
import struct
import subprocess
import sys
import tempfile


def fail(path, messages):
    for message in messages:
        print("%s: %s" % (path, message), file=sys.stderr)
    sys.exit(1)


def key_name(error):
    path = ".".join(str(p) for p in error.absolute_path)
    if error.validator == "required":
        missing = re.match(r"'([^']+)'", error.message)
        if missing:
            return "key '%s'" % ".".join(filter(None, [path, missing.group(1)])), "is missing"
    if error.validator == "additionalProperties":
        extra = re.findall(r"'([^']+)'", error.message)
        return "key '%s'" % ".".join(filter(None, [path, extra[0] if extra else ""])), \
            "is not a key of lumio.json"
    if error.validator in ("pattern", "maxLength", "minLength") and \
            "description" in error.schema:
        return "key '%s'" % path, "%s is not valid: %s" % (
            json.dumps(error.instance), error.schema["description"])
    return "key '%s'" % (path or "(top level)"), error.message


def command_from_name(name):
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


def check(schema_path, path, out):
    try:
        import jsonschema
    except ImportError:
        fail(path, ["checking it needs Python's jsonschema (Debian: python3-jsonschema)"])
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, UnicodeDecodeError) as e:
        fail(path, ["cannot be read: %s" % e])
    except json.JSONDecodeError as e:
        fail(path, ["is not JSON: %s (line %d, column %d)" % (e.msg, e.lineno, e.colno)])
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft202012Validator(schema)
    errors = sorted(validator.iter_errors(data), key=lambda e: list(map(str, e.path)))
    if errors:
        fail(path, ["%s: %s" % key_name(e) for e in errors])

    folder = os.path.dirname(os.path.abspath(path))
    problems = []
    command = data.get("command") or command_from_name(data["name"])
    if not re.match(r"^[a-z0-9][a-z0-9+.-]+$", command):
        problems.append("key 'command': cannot be made from the name %r; set it" % data["name"])
    files = {}
    for key, rel in (("icon", data.get("icon")),
                     ("updates.key", data.get("updates", {}).get("key"))):
        if rel is None:
            continue
        full = os.path.normpath(os.path.join(folder, rel))
        if not os.path.isfile(full):
            problems.append("key '%s': no file %s" % (key, full))
        files[key] = full
    if "icon" in files and os.path.isfile(files["icon"]):
        try:
            icon_size(files["icon"])
        except ValueError as e:
            problems.append("key 'icon': %s" % e)
    if problems:
        fail(path, problems)

    values = {
        "ID": data["id"],
        "NAME": data["name"],
        "VERSION": data["version"],
        "DESCRIPTION": data.get("description", ""),
        "ICON": files.get("icon", ""),
        "MAINTAINER": data.get("maintainer", ""),
        "HOMEPAGE": data.get("homepage", ""),
        "COMMAND": command,
        "UPDATES_URL": data.get("updates", {}).get("url", ""),
        "UPDATES_KEY": files.get("updates.key", ""),
    }
    with open(out + ".new", "w", encoding="utf-8") as f:
        f.write("# Written from %s; do not edit.\n" % path)
        for key, value in values.items():
            # Bracket arguments: nothing inside is expanded.
            f.write("set(LUMIO_APP_%s [==[%s]==])\n" % (key, value))
    os.replace(out + ".new", out)


def icon_size(path):
    """(width, height) of a PNG; None for an SVG (rsvg-convert scales it)."""
    with open(path, "rb") as f:
        head = f.read(24)
    if path.lower().endswith(".svg"):
        return None
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


def icon(source, size, out):
    size = int(size)
    dimensions = icon_size(source)
    with tempfile.TemporaryDirectory() as work:
        svg = source
        if dimensions:
            # rsvg-convert reads SVG only: a PNG goes in as an embedded image.
            w, h = dimensions
            with open(source, "rb") as f:
                data = base64.b64encode(f.read()).decode()
            svg = os.path.join(work, "icon.svg")
            with open(svg, "w") as f:
                f.write('<svg xmlns="http://www.w3.org/2000/svg" '
                        'xmlns:xlink="http://www.w3.org/1999/xlink" width="%d" height="%d">'
                        '<image width="%d" height="%d" xlink:href="data:image/png;base64,%s"/>'
                        '</svg>' % (w, h, w, h, data))
        subprocess.run(["rsvg-convert", "--width", str(size), "--height", str(size),
                        "--keep-aspect-ratio", "--output", out + ".part", svg], check=True)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "check":
        check(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "icon":
        icon(*sys.argv[2:])
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
