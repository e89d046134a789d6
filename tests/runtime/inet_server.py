#!/usr/bin/env python3
"""Local peers of the internet-object tests: an HTTP server and a WHOIS server on free loopback
ports. Prints "HTTP_PORT WHOIS_PORT" once both listen, then serves until killed."""
import socketserver
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

LAST_QUERY = {"rank": ""}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send(self, status, body, content_type="text/plain", headers=()):
        self.send_response(status)
        if content_type:
            self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        if self.path.startswith("/redirect"):
            return self.do_GET()
        if self.path == "/echo-xml":
            return self.send(200, body, self.headers.get("Content-Type", ""))
        self.send(200, self.command.encode() + b"|" + self.headers.get("Content-Type", "").encode() + b"|" + body,
                  "text/plain; charset=utf-8")

    def do_GET(self):
        url = urlsplit(self.path)
        path = url.path
        if path == "/cp1251":
            self.send(200, "Привет, мир".encode("cp1251"), "text/html; charset=windows-1251")
        elif path == "/meta":
            self.send(200, ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
                            '</head><body>Grüße</body></html>').encode("utf-8"), "text/html")
        elif path == "/meta5":
            self.send(200, '<html><head><meta charset="utf-8"></head><body>Grüße</body></html>'.encode("utf-8"),
                      "text/html")
        elif path == "/upper":
            self.send(200, "Grüße".encode("utf-8"), "text/plain; charset=UTF-8")
        elif path == "/xmldecl":
            self.send(200, '<?xml version="1.0" encoding="windows-1251"?><a>Мир</a>'.encode("cp1251"), "text/xml")
        elif path == "/feed":
            self.send(200, ('<?xml version="1.0" encoding="windows-1251"?><rss version="2.0"><channel>'
                            '<title>Лента</title><item><title>Первая</title></item></channel></rss>').encode("cp1251"),
                      "application/rss+xml")
        elif path == "/plain":
            self.send(200, "Grüße".encode("cp1252"), "text/plain")
        elif path.startswith("/redirect/"):
            code = int(path.split("/")[2])
            self.send(code, b"moved", headers=[("Location", "/final?from=%d&method=%s" % (code, self.command))])
        elif path == "/final":
            self.send(200, b"final " + url.query.encode())
        elif path == "/relative/start":
            self.send(302, b"", headers=[("Location", "next")])
        elif path == "/relative/next":
            self.send(200, b"relative ok")
        elif path == "/loop":
            self.send(302, b"again", headers=[("Location", "/loop")])
        elif path == "/missing":
            self.send(404, b"not here")
        elif path == "/big":
            # 100 MB announced and sent without a length check on the client's side.
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            chunk = b"x" * (1 << 20)
            try:
                for _ in range(100):
                    self.wfile.write(chunk)
            except OSError:
                pass
        elif path == "/stall":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.write(b"part")
            self.wfile.flush()
            time.sleep(30)
        elif path == "/search":
            LAST_QUERY["rank"] = url.query
            q = parse_qs(url.query).get("q", [""])[0]
            if "seven" in q:
                self.send(200, b"Rank_1:1:7\n")
            elif "ten" in q:
                self.send(200, b"Rank_1:2:10\n")
            else:
                self.send(200, b"nothing to see\n")
        elif path == "/lastquery":
            self.send(200, LAST_QUERY["rank"].encode())
        elif path == "/file":
            self.send(200, b"file body \xff\x00 end", "application/octet-stream")
        else:
            self.send(404, b"unknown")


class WhoIsHandler(socketserver.StreamRequestHandler):
    def handle(self):
        query = self.rfile.readline().strip()
        if query == b"stall":
            self.wfile.write(b"first\r\n")
            self.wfile.flush()
            time.sleep(30)
            return
        self.wfile.write(b"Domain: " + query + b"\r\nline two\r\nline three\r\n")


class WhoIsServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ThreadingHTTPServer.daemon_threads = True
    http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    whois = WhoIsServer(("127.0.0.1", 0), WhoIsHandler)
    threading.Thread(target=whois.serve_forever, daemon=True).start()
    print(http.server_address[1], whois.server_address[1], flush=True)
    http.serve_forever()


if __name__ == "__main__":
    main()
