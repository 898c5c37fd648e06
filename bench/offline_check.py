#!/usr/bin/env python3
"""Checks that a copied site browses offline.

Reads every stored page (.htm, .html and pages the copier named otherwise but that start like
HTML) and style sheet below FOLDER and reports two kinds of links:
- links that still point to the server that was copied (http://HOST:PORT/...);
- relative links to local files that are not there.
Usage: offline_check.py FOLDER SERVER_PREFIX [--list]. Prints "server=N missing=M" (and with
--list every link found). Exit code 0 when both counts are 0.
"""
import html.parser
import os
import re
import sys
import urllib.parse

CSS_URL = re.compile(r"""url\(\s*(['"]?)([^'")]+)\1\s*\)|@import\s+(['"])([^'"]+)\3""", re.I)
LINK_ATTRS = {"href", "src", "background", "data", "poster", "action", "longdesc", "lowsrc"}
IGNORED_SCHEMES = ("mailto:", "javascript:", "data:", "tel:", "about:", "#")


class LinkParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.styles = []
        self._in_style = False

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in LINK_ATTRS and not (tag == "form" and name == "action"):
                self.links.append(value.strip())
            elif name == "srcset":
                self.links += [part.strip().split(" ")[0] for part in value.split(",") if part.strip()]
            elif name == "style":
                self.styles.append(value)
        self._in_style = tag == "style"

    def handle_endtag(self, tag):
        self._in_style = False

    def handle_data(self, data):
        if self._in_style:
            self.styles.append(data)


def css_links(text):
    return [m.group(2) or m.group(4) for m in CSS_URL.finditer(text)]


def is_page(path):
    lower = path.lower()
    if lower.endswith((".htm", ".html", ".shtml", ".xhtml")):
        return True
    if lower.endswith((".css", ".js", ".png", ".gif", ".jpg", ".jpeg", ".pdf", ".txt")):
        return False
    try:
        with open(path, "rb") as f:
            head = f.read(512).lstrip().lower()
        return head.startswith((b"<!doctype html", b"<html"))
    except OSError:
        return False


def links_of(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8", "replace")
    if path.lower().endswith(".css"):
        return css_links(text)
    parser = LinkParser()
    try:
        parser.feed(text)
    except Exception:  # a broken page still gives the links read so far
        pass
    links = list(parser.links)
    for style in parser.styles:
        links += css_links(style)
    return links


def local_target(page, link):
    """The file a relative link names, trying the decoded and the raw spelling."""
    bare = link.split("#", 1)[0]
    if not bare:
        return None, True
    candidates = []
    for spelling in (urllib.parse.unquote(bare), bare):
        if "?" in spelling:
            # Copiers that keep query strings store them in the name.
            candidates.append(spelling)
            candidates.append(spelling.split("?", 1)[0])
        else:
            candidates.append(spelling)
    base = os.path.dirname(page)
    for c in candidates:
        target = os.path.normpath(os.path.join(base, c))
        if os.path.isfile(target) or os.path.isdir(target):
            return target, True
    return os.path.normpath(os.path.join(base, candidates[0])), False


def check(folder, server_prefix, listing=None):
    server = missing = pages = 0
    prefix = server_prefix.lower().rstrip("/")
    for root, _dirs, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            if not (name.lower().endswith(".css") or is_page(path)):
                continue
            pages += 1
            for link in links_of(path):
                lower = link.lower()
                if not link or lower.startswith(IGNORED_SCHEMES):
                    continue
                if lower.startswith(prefix) or lower.startswith("//" + prefix.split("//", 1)[-1]):
                    server += 1
                    if listing is not None:
                        listing.append(f"server  {path}: {link}")
                    continue
                if re.match(r"^[a-z][a-z0-9+.-]*:", lower) or lower.startswith("//"):
                    continue  # another server: not the copy's business
                if link.startswith("/"):
                    missing += 1  # a root-relative link leads nowhere in a folder
                    if listing is not None:
                        listing.append(f"rooted  {path}: {link}")
                    continue
                _target, found = local_target(path, link)
                if not found:
                    missing += 1
                    if listing is not None:
                        listing.append(f"missing {path}: {link}")
    return {"server": server, "missing": missing, "pages": pages}


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    listing = [] if "--list" in sys.argv[3:] else None
    result = check(sys.argv[1], sys.argv[2], listing)
    for line in listing or []:
        print(line)
    print(f"server={result['server']} missing={result['missing']} pages={result['pages']}")
    return 0 if result["server"] == 0 and result["missing"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
