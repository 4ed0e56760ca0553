#!/usr/bin/env python3
"""An HTTP file server that misbehaves on request, for the download tests.

Serves the files of --root. A request names its misbehaviour in the query:

    GET /<file>?tag=<unique>&plan=<item>,<item>,...

The n-th request with a tag follows the n-th plan item (the last one
repeats), so one test can script a whole sequence of attempts. Items:

    ok               honour Range (206), else the whole file (200)
    cut:N            as ok, but close the connection after N body bytes
    norange          ignore Range: 200 with the whole file
    badrange         206, but from byte 0 whatever was asked for
    error:CODE       status CODE with a small HTML page
    nolength         as ok, without Content-Length; the end closes the connection
    stall:S          headers, then S seconds of silence, then close
    stallat:N:S      N body bytes, then S seconds of silence, then close
    redirect:SCHEME  302 to the same path and query on this server, with SCHEME
    as:FILE          as ok, but with the content of FILE: the package was
                     replaced on the server since the earlier requests
    endless          200 without Content-Length, then zeros until the client
                     hangs up
    endless:N        200 announcing N bytes of zeros (Content-Length N)
    416:TOTAL        416 with "bytes */TOTAL", whatever was asked for

An item may carry modifiers after "+" (or a space, which is what a "+" in
a query becomes):

    +noetag          no ETag (nor Last-Modified): nothing to resume by
    +overlong        announces one byte more than the file has (Content-Length
                     and Content-Range), sends the file's bytes, then closes;
                     a range at or past the file's real end gets 416

Every answer with a body carries an ETag made from the content. A request
with If-Range gets the range only while that ETag still matches, else the
whole content (200), as HTTP asks.

GET /_log?tag=<unique> lists the requests of a tag, one line each:
"<item> <Range header or ->".

A request without a plan (a program's own URL, such as the installer's
compiled-in one) follows the server's own plan: --plan, or the last
GET /_plan?plan=<item>,... which also starts its count and log again (the
tag of such requests is the empty one: /_log?tag=). A package's signed
manifest (a path ending in .sig.json) asked for without a plan is served as
it is: the plan is the package's.

The port is chosen by the system unless --port is given, and written to
--port-file once the server listens.
"""
import argparse
import hashlib
import os
import re
import select
import socket
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHUNK = 64 * 1024


class State:
    def __init__(self, root, default_plan=None):
        self.root = root
        self.default_plan = default_plan or []
        self.lock = threading.Lock()
        self.counts = {}
        self.log = {}

    def next_item(self, tag, plan, range_header):
        with self.lock:
            index = self.counts.get(tag, 0)
            self.counts[tag] = index + 1
            item = plan[min(index, len(plan) - 1)] if plan else (self.default_plan[min(index, len(self.default_plan) - 1)] if self.default_plan else "ok")
            self.log.setdefault(tag, []).append(f"{item.replace(' ', '+')} {range_header or '-'}")
            return item


def wait_or_gone(sock, seconds):
    """Sleeps up to `seconds`, returning early when the client has gone."""
    end = time.monotonic() + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            return
        readable, _, _ = select.select([sock], [], [], min(left, 0.2))
        if readable:
            try:
                if not sock.recv(1, socket.MSG_PEEK):
                    return
            except OSError:
                return


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "fault-server"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        state = self.server.state
        if url.path == "/_log":
            tag = query.get("tag", [""])[0]
            with state.lock:
                body = "\n".join(state.log.get(tag, [])).encode()
            return self.reply(200, body, "text/plain")

        if url.path == "/_plan":
            with state.lock:
                state.default_plan = [p for p in query.get("plan", [""])[0].split(",") if p]
                state.counts.pop("", None)
                state.log.pop("", None)
            return self.reply(200, b"ok", "text/plain")

        tag = query.get("tag", [""])[0]
        plan = [p for p in query.get("plan", [""])[0].split(",") if p]
        if url.path.endswith(".sig.json") and not plan:
            # A package's signed manifest: the plan is for the package.
            plan = ["ok"]
            tag = "manifest:" + tag
        item = state.next_item(tag, plan, self.headers.get("Range"))
        # A "+" in a query is a space by the time it is read.
        item, *modifiers = re.split(r"[+ ]", item)
        name, _, argument = item.partition(":")

        path = os.path.join(state.root, os.path.basename(urllib.parse.unquote(url.path)))
        if name == "as":
            path = os.path.join(state.root, os.path.basename(argument))
        if not os.path.isfile(path):
            return self.reply(404, b"<html><body>not found</body></html>")
        with open(path, "rb") as f:
            data = f.read()

        if name == "error":
            return self.reply(int(argument), f"<html><body>error {argument}</body></html>".encode())
        if name == "416":
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{argument}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if name == "endless":
            return self.endless(int(argument) if argument else None)
        if name == "redirect":
            location = f"{argument}://127.0.0.1:{self.server.server_port}{self.path}"
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return

        etag = '"%s"' % hashlib.sha1(data).hexdigest()[:16]
        # What the answers say the file's length is.
        claimed = len(data) + (1 if "overlong" in modifiers else 0)
        start = 0
        match = re.match(r"bytes=(\d+)-(\d*)$", self.headers.get("Range") or "")
        ranged = match is not None and name not in ("norange",)
        if_range = self.headers.get("If-Range")
        if ranged and if_range is not None and ("noetag" in modifiers or if_range != etag):
            ranged = False
        if ranged:
            start = int(match.group(1))
            if start >= len(data):
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{len(data)}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        if name == "badrange":
            ranged, start = True, 0
        body = data[start:]

        self.send_response(206 if ranged else 200)
        if "noetag" not in modifiers:
            self.send_header("ETag", etag)
        if ranged:
            self.send_header("Content-Range", f"bytes {start}-{claimed - 1}/{claimed}")
        self.send_header("Content-Type", "application/zip")
        if name == "nolength":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(claimed - start))
        self.end_headers()

        if name == "stall":
            self.wfile.flush()
            wait_or_gone(self.connection, float(argument))
            return self.hang_up()
        limit = len(body)
        pause = 0.0
        if name == "cut":
            limit = min(limit, int(argument))
        elif name == "stallat":
            count, _, seconds = argument.partition(":")
            limit, pause = min(limit, int(count)), float(seconds)
        try:
            for offset in range(0, limit, CHUNK):
                self.wfile.write(body[offset:min(offset + CHUNK, limit)])
            self.wfile.flush()
        except OSError:
            return self.hang_up()
        if name in ("cut", "stallat") and limit < len(body):
            if pause:
                wait_or_gone(self.connection, pause)
            return self.hang_up()
        if "overlong" in modifiers:
            return self.hang_up()

    def endless(self, length):
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        if length is None:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        zeros = bytes(CHUNK)
        sent = 0
        try:
            while length is None or sent < length:
                block = zeros if length is None else zeros[: min(CHUNK, length - sent)]
                self.wfile.write(block)
                sent += len(block)
        except OSError:
            pass
        self.hang_up()

    def reply(self, status, body, content_type="text/html"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def hang_up(self):
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--plan", default="", help="the plan of requests that name none (a program's own URL)")
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.state = State(args.root, [p for p in args.plan.split(",") if p])
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(server.server_port))
        os.replace(args.port_file + ".tmp", args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
