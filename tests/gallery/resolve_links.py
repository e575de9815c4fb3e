#!/usr/bin/env python3
"""Resolves every href, src and background of the pages below a folder the
way a browser does (entities decoded by the HTML parser, the address joined
to the page's own file: URL, the fragment and query cut off, the path
percent-decoded) and reports each one that names no file on disk.

Usage: resolve_links.py FOLDER  -> prints "page: address" per broken link, exit 1 when any
"""
import html.parser
import os
import sys
import urllib.parse


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.addresses = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src", "background") and value is not None:
                self.addresses.append(value)


def main(folder):
    broken = []
    checked = 0
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            if not name.lower().endswith((".htm", ".html")):
                continue
            page = os.path.join(root, name)
            parser = Links()
            with open(page, encoding="latin-1") as f:
                parser.feed(f.read())
            # The page's own name may be any bytes, as the file system holds them.
            base = "file://" + urllib.parse.quote(os.fsencode(os.path.abspath(page)))
            for address in parser.addresses:
                url = urllib.parse.urlsplit(urllib.parse.urljoin(base, address))
                if url.scheme != "file":
                    continue
                # The page was read byte for byte: the path's bytes are the file name's.
                target = urllib.parse.unquote_to_bytes(url.path.encode("latin-1"))
                checked += 1
                if not os.path.isfile(target):
                    broken.append(os.fsencode("%s: %s" % (os.path.relpath(page, folder), address)))
    for line in broken:
        sys.stdout.buffer.write(line + b"\n")
    print("checked %d" % checked, file=sys.stderr)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
