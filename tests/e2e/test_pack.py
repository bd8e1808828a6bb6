"""Serving the pack through app://lumio/, as the page sees it."""

import base64
import json
import os
import struct
import subprocess
import zlib

import pytest

import lumio_session as ls

# path requested -> (pack entry whose bytes must come back, Content-Type)
SERVED = {
    "index.html": ("index.html", "text/html"),
    "style.css": ("style.css", "text/css"),
    "image.jpg": ("image.jpg", "image/jpeg"),
    "app.js": ("app.js", "application/javascript"),
    "image.png": ("image.png", "image/png"),
    "image.gif": ("image.gif", "image/gif"),
    "x.js.map": ("x.js.map", "application/octet-stream"),
    "data.json": ("data.json", "text/plain"),
    "readme.htm": ("readme.htm", "text/plain"),
    "notes.txt": ("notes.txt", "text/plain"),
    "assets/nested.js": ("assets/nested.js", "application/javascript"),
    ls.BIG_ENTRY: (ls.BIG_ENTRY, "text/plain"),
    # Lookup ignores case; the type test does not.
    "Index.HTML": ("index.html", "text/plain"),
    "ASSETS/Nested.JS": ("assets/nested.js", "text/plain"),
    # The query string is not part of the entry name.
    "data.json?x=1&y=%22two%22": ("data.json", "text/plain"),
    "style.css?v=3": ("style.css", "text/css"),
}

MISSING = ["nope.html", "index.html.bak", "assets", "assets/", "sub.html/x", "style"]

# GET through XMLHttpRequest: {status, type, body (base64)} or {error} when
# the request failed at the network level.
XHR_FN = r"""
(function (url) {
  return new Promise(function (resolve) {
    var xhr = new XMLHttpRequest();
    xhr.open('GET', url);
    xhr.responseType = 'arraybuffer';
    xhr.onload = function () {
      var bytes = new Uint8Array(xhr.response || new ArrayBuffer(0));
      var s = '';
      for (var i = 0; i < bytes.length; i += 0x8000) {
        s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      }
      resolve({status: xhr.status, type: xhr.getResponseHeader('Content-Type'),
               body: btoa(s)});
    };
    xhr.onerror = function () { resolve({error: 'network error', status: xhr.status}); };
    xhr.ontimeout = function () { resolve({error: 'timeout'}); };
    xhr.timeout = 10000;
    xhr.send();
  });
})
"""


def entry_bytes(name):
    if name == ls.BIG_ENTRY:
        return ls.big_entry_bytes()
    with open(os.path.join(ls.PACK_DIR, name), "rb") as f:
        return f.read()


def xhr(app, path):
    return app.devtools.evaluate("(%s)(%s)" % (XHR_FN, json.dumps(ls.APP_ORIGIN + path)))


def test_entries_are_served_with_type_by_extension(app):
    wrong = {}
    for path, (entry, mime) in SERVED.items():
        r = xhr(app, path)
        if "error" in r:
            wrong[path] = r
            continue
        body = base64.b64decode(r["body"])
        problems = []
        if r["status"] != 200:
            problems.append("status %r" % r["status"])
        if r["type"] != mime:
            problems.append("type %r, expected %r" % (r["type"], mime))
        if body != entry_bytes(entry):
            problems.append("body of %d bytes differs from %s" % (len(body), entry))
        if problems:
            wrong[path] = problems
    assert not wrong, wrong


def test_missing_entries_fail(app):
    served = {}
    for path in MISSING:
        r = xhr(app, path)
        if "error" not in r and r["status"] < 400:
            served[path] = r["status"], r["type"], len(base64.b64decode(r["body"]))
    assert not served, "served although not in the pack: %r" % served


def image_size(name):
    out = subprocess.run(["identify", "-format", "%w %h", os.path.join(ls.PACK_DIR, name)],
                         capture_output=True, text=True, check=True).stdout
    return [int(v) for v in out.split()]


LOAD_ELEMENT_FN = r"""
(function (tag, url) {
  return new Promise(function (resolve) {
    var el = document.createElement(tag);
    el.onload = function () {
      resolve({loaded: true, w: el.naturalWidth, h: el.naturalHeight});
    };
    el.onerror = function () { resolve({loaded: false}); };
    if (tag === 'link') { el.rel = 'stylesheet'; el.href = url; } else { el.src = url; }
    document.head.appendChild(el);
    setTimeout(function () { resolve({timeout: true}); }, 10000);
  });
})
"""


def load_element(app, tag, path):
    return app.devtools.evaluate("(%s)(%s, %s)" % (LOAD_ELEMENT_FN, json.dumps(tag),
                                                   json.dumps(ls.APP_ORIGIN + path)))


def test_page_resources_load_as_elements(app):
    # Loaded by index.html itself.
    assert app.devtools.evaluate("window.__appScript && window.__appScript.loaded") is True
    computed = app.devtools.evaluate("getComputedStyle(document.body).backgroundColor")
    assert computed == "rgb(%d, %d, %d)" % ls.page_background()

    for name in ("image.png", "image.gif", "image.jpg"):
        result = load_element(app, "img", name)
        assert result.get("loaded") and [result["w"], result["h"]] == image_size(name), \
            (name, result)
    assert load_element(app, "img", "missing.png") == {"loaded": False}

    assert load_element(app, "script", "assets/nested.js").get("loaded")
    assert app.devtools.evaluate("window.__nestedScript") == "assets/nested.js"
    assert load_element(app, "script", "missing.js") == {"loaded": False}


def pack_with_shared_stream(base, names, zero_bytes):
    """The pack |base| plus one directory record per name, all pointing at one
    deflate stream of |zero_bytes| zeros: a few hundred kilobytes that would unpack
    to len(names) * zero_bytes. Written by hand, as no zip tool shares data."""
    with open(base, "rb") as f:
        data = f.read()
    eocd = data[-22:]
    sig, _, _, _, count, cd_size, cd_offset, comment = struct.unpack("<IHHHHIIH", eocd)
    assert sig == 0x06054B50 and comment == 0

    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    crc, chunk, stream = 0, bytes(1 << 20), []
    for _ in range(zero_bytes >> 20):
        crc = zlib.crc32(chunk, crc)
        stream.append(compressor.compress(chunk))
    stream.append(compressor.flush())
    stream = b"".join(stream)

    local_name = names[0].encode()
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, crc, len(stream),
                        zero_bytes, len(local_name), 0) + local_name + stream
    records = b""
    for name in names:
        encoded = name.encode()
        records += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc,
                               len(stream), zero_bytes, len(encoded), 0, 0, 0, 0, 0,
                               cd_offset) + encoded
    directory = data[cd_offset:cd_offset + cd_size] + records
    new_offset = cd_offset + len(local)
    total = count + len(names)
    return (data[:cd_offset] + local + directory +
            struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, total, total, len(directory),
                        new_offset, 0))


def test_pack_with_entries_sharing_one_stream_starts_without_them(launch, tmp_path):
    names = ["bomb%d.bin" % i for i in range(10)]
    pack = pack_with_shared_stream(ls.build_pack(str(tmp_path / "base.pak")), names,
                                   200 << 20)
    assert len(pack) < 2 << 20
    app = launch(pack=pack)
    # Generous: unpacking the ten copies took tens of seconds.
    app.connect(timeout=90)
    app.wait_page_ready(timeout=30)

    served = {}
    for name in names:
        r = xhr(app, name)
        if "error" not in r and r["status"] < 400:
            served[name] = r["status"]
    assert not served, "entries sharing one stream were served: %r" % served
    # The rest of the pack is whole.
    for path in ("index.html", "assets/nested.js", ls.BIG_ENTRY):
        r = xhr(app, path)
        assert r.get("status") == 200, (path, r)
        assert base64.b64decode(r["body"]) == entry_bytes(path), path
    assert app.handshake().get("success") == '{"text":"Hello, world!"}'
    app.main_window()


# A module exporting answer() -> 42: type (func () -> i32), one function, its
# export, its body (i32.const 42).
TINY_WASM = bytes.fromhex(
    "0061736d01000000" "0105016000017f" "03020100" "070a0106616e737765720000"
    "0a060104" "00412a0b")


BUNDLE_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>bundle</title>
<script type="module" src="assets/main.mjs" onerror="window.__module = 'failed'"></script>
</head><body></body></html>
"""


def write_bundle(site):
    """What a bundler emits: an ES module entry importing a chunk, an SVG, wasm."""
    files = {
        "index.html": BUNDLE_PAGE.encode(),
        "assets/main.mjs": b"import {value} from './chunk.mjs';\nwindow.__module = value;\n",
        "assets/chunk.mjs": b"export const value = 'from the chunk';\n",
        "assets/logo.svg": b'<svg xmlns="http://www.w3.org/2000/svg" width="37" height="23">'
                           b'<rect width="37" height="23" fill="#c03"/></svg>',
        "assets/answer.wasm": TINY_WASM,
    }
    for name, data in files.items():
        path = os.path.join(site, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


@pytest.mark.parametrize("mode", ["pack", "folder"])
def test_modules_svg_and_wasm_work_as_a_bundler_emits_them(launch, tmp_path, mode):
    site = str(tmp_path / "site")
    write_bundle(site)
    if mode == "pack":
        with open(ls.build_pack(str(tmp_path / "bundle.pak"), source_dir=site), "rb") as f:
            app = launch(pack=f.read())
    else:
        app = launch(pack=None, env={"LUMIO_WEB_DIR": site})
    app.connect()
    app.devtools.wait_js("document.readyState === 'complete' && window.__module !== undefined",
                         20, what="the module script to run or fail")
    assert app.devtools.evaluate("window.__module") == "from the chunk"
    assert app.devtools.evaluate(
        "import('./assets/chunk.mjs').then(m => m.value, e => String(e))") == "from the chunk"

    svg = load_element(app, "img", "assets/logo.svg")
    assert svg.get("loaded") and [svg["w"], svg["h"]] == [37, 23], svg

    assert app.devtools.evaluate(
        "WebAssembly.instantiateStreaming(fetch('assets/answer.wasm'))"
        ".then(r => r.instance.exports.answer(), e => String(e))") == 42
