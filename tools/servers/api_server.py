#!/usr/bin/env python3
"""The install-count API as the tests need it.

GET [/<tag>/<answer>]/api/systemcvn/incInstallNum?appid=...&nonce_str=...&sign=...

checks the signature as the real server does (MD5 over the query without
"&sign=...", with "&key=<key>" appended, in upper case), records the request
under its tag and answers as <answer> says (default: int1):

    int1      {"success":1}           str1     {"success":"1"}
    true      {"success":true}        float1   {"success":1.0}
    missing   {"code":200}            nonjson  an HTML page
    error500  status 500, HTML page   json500  status 500, {"success":1}
    chinese   {"success":0,"msg":"签名错误"}
    silent    accepts the request and never answers

A request without a tag and an answer (the installer's own URL) is tagged
"default" and gets --answer.

A request with a wrong signature gets {"success":0,"msg":"sign error"}.
GET /_log?tag=<tag> lists the tag's requests: "valid <query>" or
"invalid <query>", one a line.
"""
import argparse
import hashlib
import os
import select
import socket
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

KEY = "tesvor571209834461"
PATH = "/api/systemcvn/incInstallNum"

ANSWERS = {
    "int1": (200, b'{"success":1}'),
    "str1": (200, b'{"success":"1"}'),
    "true": (200, b'{"success":true}'),
    "float1": (200, b'{"success":1.0}'),
    "missing": (200, b'{"code":200}'),
    "nonjson": (200, b"<html><body>maintenance</body></html>"),
    "error500": (500, b"<html><body>Internal Server Error</body></html>"),
    "json500": (500, b'{"success":1}'),
    "chinese": (200, '{"success":0,"msg":"签名错误"}'.encode()),
}


def signature_valid(query):
    keys = [part.partition("=")[0] for part in query.split("&")]
    if keys != ["appid", "nonce_str", "sign"]:
        return False
    signed, _, sign = query.rpartition("&sign=")
    expected = hashlib.md5((signed + "&key=" + KEY).encode()).hexdigest().upper()
    return sign == expected


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "api-server"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        state = self.server.state
        if url.path == "/_log":
            tag = urllib.parse.parse_qs(url.query).get("tag", [""])[0]
            with state["lock"]:
                body = "\n".join(state["log"].get(tag, [])).encode()
            return self.reply(200, body)
        if not url.path.endswith(PATH):
            return self.reply(404, b"not found")
        prefix = url.path[: -len(PATH)].strip("/").split("/")
        tag, answer = (prefix + ["int1"])[:2] if prefix != [""] else ("default", self.server.default_answer)
        valid = signature_valid(url.query)
        with state["lock"]:
            state["log"].setdefault(tag, []).append(f"{'valid' if valid else 'invalid'} {url.query}")
        if answer == "silent":
            end = time.monotonic() + 120
            while time.monotonic() < end:
                readable, _, _ = select.select([self.connection], [], [], 0.2)
                if readable:
                    try:
                        if not self.connection.recv(1, socket.MSG_PEEK):
                            break
                    except OSError:
                        break
            self.close_connection = True
            return
        if not valid:
            return self.reply(200, b'{"success":0,"msg":"sign error"}')
        status, body = ANSWERS.get(answer, ANSWERS["int1"])
        self.reply(status, body)

    def reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--answer", default="int1", help="the answer to requests that name none (the installer's own)")
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.default_answer = args.answer
    server.state = {"lock": threading.Lock(), "log": {}}
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(server.server_port))
        os.replace(args.port_file + ".tmp", args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
