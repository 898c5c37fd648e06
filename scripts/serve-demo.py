#!/usr/bin/env python3
"""Serves the bundled demo site on a loopback port for ./run.sh and the benchmarks.

Static files come from the demo folder; the shop's pages answer their query strings, as a
server-side script would. Usage: serve-demo.py ROOT PORT_FILE. The chosen port is written to
PORT_FILE once the server listens.
"""
import html
import http.server
import os
import sys
import urllib.parse

CATEGORIES = {"tents": ["Ridge two-person", "River family", "Summit solo"],
              "lamps": ["Brass oil lamp", "Storm lantern", "Pocket torch"]}


def catalog_page(query):
    category = query.get("category", ["tents"])[0]
    page = int(query.get("page", ["1"])[0] or 1)
    items = CATEGORIES.get(category, [])
    rows = "\n".join(f"<li>{html.escape(name)} (page {page})</li>" for name in items)
    next_link = (f'<a href="catalog.php?category={urllib.parse.quote(category)}&amp;page={page + 1}">'
                 "Next page</a>" if page < 2 else "")
    return (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>{html.escape(category)}"
            f" - page {page}</title><link rel=\"stylesheet\" href=\"../css/site.css\"></head>\n"
            f"<body><h1>{html.escape(category.title())}</h1>\n<ul>\n{rows}\n</ul>\n"
            f"<p>{next_link} <a href=\"../index.html\">Home</a></p></body></html>\n")


def search_page(query):
    words = html.escape(query.get("q", [""])[0])
    return (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Search</title></head>"
            f"<body><p>Nothing found for '{words}'.</p><a href=\"../contact.html\">Back</a></body></html>\n")


class DemoHandler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        pages = {"/shop/catalog.php": catalog_page, "/shop/search.php": search_page}
        if url.path in pages:
            body = pages[url.path](urllib.parse.parse_qs(url.query)).encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    handler = lambda *a, **k: DemoHandler(*a, directory=root, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    with open(port_file, "w") as f:
        f.write(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
