"""Real sites for the browser tests: one built by MkDocs (directory URLs), the same re-encoded
as Windows-1252 by iconv, and a small hand-written tree with the link forms old pages use."""
import os
import shutil
import struct
import subprocess
import zlib


def png(width=2, height=2, rgb=(200, 40, 40)):
    raw = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00"
       b"\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")
JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9"


def _write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


MKDOCS_PAGES = {
    "index.md": "# Welcome café\n\nStart with [Getting Started](User-Guide/Getting-Started.md), "
                "read the [Reference overview](Reference/index.md) or [About](About-This-Site.md).\n\n"
                "![Screen shot](img/Screen-Shot.png)\n",
    "About-This-Site.md": "# About — café crème\n\nBack [home](index.md); see the "
                          "[configuration](Reference/Configuration-Options.md#paths).\n",
    "User-Guide/Getting-Started.md": "# Getting started\n\nNaïve café users read "
                                     "[Advanced Topics](Advanced-Topics.md) and the "
                                     "[reference](../Reference/index.md).\n\n"
                                     "![Diagram](../img/Screen-Shot.png)\n",
    "User-Guide/Advanced-Topics.md": "# Advanced topics\n\nBack to "
                                     "[Getting Started](Getting-Started.md), or [home](../index.md).\n",
    "Reference/index.md": "# Reference\n\n* [Configuration Options](Configuration-Options.md)\n"
                          "* [Guide](../User-Guide/Getting-Started.md)\n",
    "Reference/Configuration-Options.md": "# Configuration options\n\n## Paths\n\nSee "
                                          "[Advanced Topics](../User-Guide/Advanced-Topics.md) "
                                          "and [the reference](index.md). Résumé: café.\n",
}

MKDOCS_YML = """site_name: Café Handbook
use_directory_urls: true
extra_css:
  - css/Extra-Styles.css
nav:
  - Home: index.md
  - User Guide:
      - User-Guide/Getting-Started.md
      - User-Guide/Advanced-Topics.md
  - Reference:
      - Reference/index.md
      - Reference/Configuration-Options.md
  - About: About-This-Site.md
"""


def build_mkdocs(work, out):
    """A MkDocs site with directory URLs, built into out."""
    project = os.path.join(work, "mkdocs-project")
    subprocess.run(["mkdocs", "new", project], check=True, capture_output=True)
    with open(os.path.join(project, "mkdocs.yml"), "w") as f:
        f.write(MKDOCS_YML)
    docs = os.path.join(project, "docs")
    for rel, text in MKDOCS_PAGES.items():
        _write(docs, rel, text)
    _write(docs, "img/Screen-Shot.png", png(4, 3))
    _write(docs, "img/Background-Tile.PNG", png(2, 2, (240, 240, 200)))
    _write(docs, "css/Extra-Styles.css",
           "body { background-image: url(../img/Background-Tile.PNG); }\n")
    subprocess.run(["mkdocs", "build", "--quiet", "--site-dir", out], cwd=project, check=True,
                   capture_output=True)
    return out


def to_windows_1252(src, out):
    """A copy of the site whose pages are Windows-1252 and say so."""
    shutil.copytree(src, out, symlinks=True)
    for dirpath, _, files in os.walk(out):
        for name in files:
            if not name.lower().endswith((".html", ".htm")):
                continue
            path = os.path.join(dirpath, name)
            data = subprocess.run(["iconv", "-f", "UTF-8", "-t", "WINDOWS-1252//TRANSLIT", path],
                                  check=True, capture_output=True).stdout
            data = data.replace(b'<meta charset="utf-8">', b'<meta charset="windows-1252">')
            data = data.replace(b'charset=utf-8"', b'charset=windows-1252"')
            with open(path, "wb") as f:
                f.write(data)
    return out


HAND_PAGES = {
    "index.html": """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Hand-made café</title>
<style>@import url("Theme.css");</style>
<link rel="stylesheet" href=" Styles\\Odd-Forms.css ">
</head><body>
<h1>Hand-made pages</h1>
<p><a href='Page One.html'>single-quoted, a space in the name</a>
<p><a href=Docs/Guide.html>unquoted</a> and <a href="./Docs/Guide.html">dot-slash</a>
<p><a href="Docs/">the Docs directory</a>
<p><a href="About.html">about (a symbolic link)</a>
<p><a href="Go.html">a page that forwards</a>
<p><img srcset="Images/Small%20Logo.png 1x, Images/Large%20Logo.png 2x" src="Images/Small Logo.png" alt="logo">
<div style="background: url(Back.GIF); height: 20px">tiled</div>
<p><a href="Missing Page.html">broken before the run</a>
<p><a href=" Docs/Guide.html ">blanks around</a> <a href="Docs/.&#9;/Guide.html">a tab inside</a>
<a href="Docs\\Guide.html">a backslash</a> <img src=" Images/Photo.JPEG " alt="">
<img src="Images\\Arrival-Picture.jpeg" alt=""> <div class="esc-a">a</div><div class="esc-b">b</div>
</body></html>
""",
    "Page One.html": """<html><head><title>Page one</title>
<link rel="stylesheet" type="text/css" href="Styles/Main-Style.css"></head>
<body class=photo><a href="index.html">home</a> <a href="Docs/Guide.html#part2">guide, part 2</a>
<img src="Images/Photo.JPEG" alt=""></body></html>
""",
    "Styles/Main-Style.css": "body.photo { background: url('../Back.GIF') repeat; }\n",
    "Theme.css": "body { background-image: url(Img/Bg.PNG); }\n",
    # CSS escapes, read before the URL: an escaped blank, a backslash, a hex escape ("\54 " = "T").
    "Styles/Odd-Forms.css": r"""div.esc-a { background: url(../Images/Tile\ One.png); height: 4px }
div.esc-b { background: url(" ..\\Images\\\54 ile-Two.png "); height: 4px }
""",
    "Docs/index.html": """<html><body><h1>Docs</h1><a href="Guide.html">guide</a>
<a href="../index.html">home</a> <a href="../missing/Gone.html">broken before</a></body></html>
""",
    "Docs/Guide.html": """<html><body><h1 id=part2>Guide</h1>
<a href="../Page%20One.html">page one</a> <a href="../About.html">about</a>
<img src="../Images/Large Logo.png" alt=""></body></html>
""",
    "About.html.en": """<html><body><h1>About</h1><a href="index.html">home</a>
<img src="Images/Small Logo.png" alt=""></body></html>
""",
    "Go.html": """<html><head><meta http-equiv="refresh" content="0; url=Next.html"></head>
<body>forwarding</body></html>
""",
    "Next.html": """<html><body>arrived <img src="Images/Arrival-Picture.jpeg" alt=""></body></html>
""",
}


def build_hand(out):
    for rel, text in HAND_PAGES.items():
        _write(out, rel, text)
    _write(out, "Images/Small Logo.png", png(2, 2))
    _write(out, "Images/Large Logo.png", png(4, 4))
    _write(out, "Images/Photo.JPEG", JPEG)
    _write(out, "Images/Arrival-Picture.jpeg", JPEG)
    _write(out, "Img/Bg.PNG", png(2, 2, (10, 10, 200)))
    _write(out, "Back.GIF", GIF)
    _write(out, "Images/Tile One.png", png(2, 2, (20, 160, 20)))
    _write(out, "Images/Tile-Two.png", png(2, 2, (160, 20, 160)))
    os.symlink("About.html.en", os.path.join(out, "About.html"))
    return out


PLAIN_PAGES = {
    "index.html": """<html><head><link rel="stylesheet" href="Site Style.css"></head><body>
<a href="Chapter One.html">one</a> <a href="Sub Dir/Long Page Name.html">deep</a>
<img src="Pictures/Group Photo.png" alt=""> <a href="Not There.html">broken before</a>
</body></html>
""",
    "Chapter One.html": """<html><body><a href="index.html">home</a>
<img src="Pictures/Group%20Photo.png" alt=""></body></html>
""",
    "Sub Dir/Long Page Name.html": """<html><body><a href="../Chapter One.html">one</a>
<script src="../Scripts/Main Script.js"></script></body></html>
""",
    "Site Style.css": "p { color: black; }\n",
    "Scripts/Main Script.js": "var x = 1;\n",
}


def build_plain(out):
    """Only double-quoted links to files: the forms every version of the program handles."""
    for rel, text in PLAIN_PAGES.items():
        _write(out, rel, text)
    _write(out, "Pictures/Group Photo.png", png(3, 3))
    return out
