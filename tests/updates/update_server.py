#!/usr/bin/python3
"""The product web site for the updater's end-to-end tests, on 127.0.0.1 only.

    update_server.py ROOT CERT KEY

Serves the files of ROOT over HTTPS (with CERT, made by the test's own authority) and
over plain HTTP, each on a free port; prints "HTTPS_PORT HTTP_PORT" on its first line.
Every request is logged to ROOT/requests.log as "METHOD PATH". Besides files:
  GET /truncated/NAME   sends NAME's full length in Content-Length, then half its bytes
                        and closes the connection;
  POST /api/crash       appends the body as one line to ROOT/posted.jsonl and answers 200.
"""
import http.server
import os
import socket
import ssl
import sys
import threading

ROOT, CERT, KEY = sys.argv[1:4]


class Site(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=ROOT, **kwargs)

    def log_message(self, fmt, *args):
        pass

    def note(self):
        with open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write("%s %s\n" % (self.command, self.path))

    def do_GET(self):
        self.note()
        if self.path.startswith("/truncated/"):
            with open(os.path.join(ROOT, self.path[len("/truncated/"):]), "rb") as f:
                data = f.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        super().do_GET()

    def do_POST(self):
        self.note()
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path == "/api/crash":
            with open(os.path.join(ROOT, "posted.jsonl"), "ab") as out:
                out.write(body.replace(b"\n", b" ") + b"\n")
        self.send_response(200 if self.path == "/api/crash" else 404)
        self.send_header("Content-Length", "0")
        self.end_headers()


secure = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(CERT, KEY)
secure.socket = context.wrap_socket(secure.socket, server_side=True)
plain = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
print(secure.server_address[1], plain.server_address[1], flush=True)
threading.Thread(target=plain.serve_forever, daemon=True).start()
secure.serve_forever()
