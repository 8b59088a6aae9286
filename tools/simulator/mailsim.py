#!/usr/bin/env python3
"""Local stand-in for the tarn web-mail service.

Serves, on loopback:
  * plain HTTP  (--http-port):      the new-mail query, the web-mail top page, the help
                                    page, the login form (for tests of the http scheme)
                                    and the control interface under /_sim/;
  * HTTPS       (--https-port):     the same pages with a certificate of the test CA;
  * HTTPS       (--untrusted-port): the same with a certificate of a CA nobody trusts;
  * plain HTTP  (--control-port):   the control interface alone, reachable also while the
                                    service is out of reach.

Control interface (POST, form-encoded body, values are bytes in percent encoding):
  /_sim/reset                       forget scripts, records and sessions; demo account only
  /_sim/account   user pass count [dberror=1]
  /_sim/count     user count        set the mailbox count of an account
  /_sim/session   eid user          make eid a valid session of user
  /_sim/tls       cert              the certificate the HTTPS port shows from now on:
                                    "test" (the test CA's, the default) or "untrusted"
  /_sim/script    target ...        queue scripted replies (see Script); endless=1: no
                                    length, the body, then the fill for ever (with drip_ms
                                    one byte at a time) until the client closes its end
  /_sim/requests  target            number of requests received for target
  /_sim/request   target index      raw bytes of one request (index -1: the last)
  /_sim/reach     open              "0": the three service ports refuse connections (the
                                    service is out of reach) until "1" opens them again
Targets: login (/certify-cgi/login.cgi), arrival (/recent/arrival.ghtml/checker1.1/),
top (/), help (the help page), other.
"""

import argparse
import errno
import collections
import os
import random
import secrets
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

LOGIN_PATH = "/certify-cgi/login.cgi"
ARRIVAL_PATH = "/recent/arrival.ghtml/checker1.1/"
HELP_PATH = "/howto/tool/mail/t_checker.html"
DEMO_USER = b"demo"
DEMO_PASSWORD = b"demo-pass"
MAX_HEAD = 1 << 20


def target_of(path):
    if path == LOGIN_PATH:
        return "login"
    if path.startswith(ARRIVAL_PATH):
        return "arrival"
    if path == "/":
        return "top"
    if path == HELP_PATH:
        return "help"
    return "other"


def parse_form(body):
    """Form fields as bytes; repeated names keep every value in order."""
    fields = collections.defaultdict(list)
    for name, value in urllib.parse.parse_qsl(body.decode("latin-1"), keep_blank_values=True,
                                              encoding="latin-1"):
        fields[name].append(value.encode("latin-1"))
    return fields


class Script:
    """One scripted reply."""

    def __init__(self, fields):
        def one(name, default=None):
            values = fields.get(name)
            return values[-1].decode("latin-1") if values else default

        self.status = int(one("status", "200"))
        self.reason = one("reason", "OK" if self.status == 200 else "Scripted")
        self.headers = [h for h in fields.get("header", [])]
        self.cookies = [c for c in fields.get("cookie", [])]
        body = fields.get("body", [b""])[-1]
        size = int(one("body_size", "0"))
        fill = fields.get("fill", [b"x"])[-1] or b"x"
        if size > len(body):
            body = body + (fill * (size - len(body) + len(fill)))[: size - len(body)]
        self.body = body
        self.delay_ms = int(one("delay_ms", "0"))
        self.stall = one("stall", "")
        self.stall_ms = int(one("stall_ms", "60000"))
        self.drop = one("drop", "")
        self.drip_ms = int(one("drip_ms", "0"))
        self.fill = fill
        self.endless = one("endless", "") == "1"
        self.times = int(one("times", "1"))


class Service:
    def __init__(self, demo):
        self.lock = threading.Lock()
        self.demo = demo
        self.service_ports = []
        self.reset()

    def reset(self):
        with self.lock:
            self.accounts = {DEMO_USER: {"pass": DEMO_PASSWORD, "count": 1 if self.demo else 0,
                                         "dberror": False}}
            self.sessions = {}
            self.scripts = collections.defaultdict(collections.deque)
            self.records = collections.defaultdict(list)
            self.untrusted_https = False
            for port in self.service_ports:
                port.open()

    def next_script(self, target):
        with self.lock:
            queue = self.scripts[target]
            if not queue:
                return None
            script = queue[0]
            script.times -= 1
            if script.times <= 0:
                queue.popleft()
            return script

    def record(self, target, raw):
        with self.lock:
            self.records[target].append(raw)

    def demo_tick(self):
        with self.lock:
            account = self.accounts.get(DEMO_USER)
            if account is not None:
                account["count"] = random.choice([0, 1, 2, 3, account["count"] + 1])

    # Control interface -------------------------------------------------------------

    def control(self, path, fields):
        def one(name, default=b""):
            values = fields.get(name)
            return values[-1] if values else default

        if path == "/_sim/reset":
            self.reset()
            return b"ok"
        with self.lock:
            if path == "/_sim/account":
                self.accounts[one("user")] = {"pass": one("pass"), "count": int(one("count", b"0")),
                                              "dberror": one("dberror") == b"1"}
                return b"ok"
            if path == "/_sim/count":
                self.accounts[one("user")]["count"] = int(one("count", b"0"))
                return b"ok"
            if path == "/_sim/session":
                self.sessions[one("eid")] = one("user")
                return b"ok"
            if path == "/_sim/reach":
                reachable = one("open") == b"1"
                for port in self.service_ports:
                    if reachable:
                        port.open()
                    else:
                        port.close()
                return b"ok"
            if path == "/_sim/tls":
                self.untrusted_https = one("cert") == b"untrusted"
                return b"ok"
            if path == "/_sim/script":
                self.scripts[one("target").decode()].append(Script(fields))
                return b"ok"
            if path == "/_sim/requests":
                return str(len(self.records[one("target").decode()])).encode()
            if path == "/_sim/request":
                records = self.records[one("target").decode()]
                index = int(one("index", b"-1"))
                try:
                    return records[index]
                except IndexError:
                    return None
        return None

    # Default service behaviour -----------------------------------------------------

    def default_reply(self, target, method, headers, body):
        if target == "login" and method == "POST":
            fields = parse_form(body)
            user = fields.get("uname", [b""])[0]
            password = fields.get("pass", [b""])[0]
            with self.lock:
                account = self.accounts.get(user)
                if account is not None and account["pass"] == password:
                    eid = secrets.token_hex(16).encode()
                    self.sessions[eid] = user
                    location = fields.get("success", [b"/"])[0]
                    return (302, "Found",
                            [b"Location: " + location, b"Content-Type: text/html"],
                            [b"TS=" + str(int(time.time())).encode() + b"; path=/",
                             b"EID=" + eid + b"; path=/; domain=localhost"],
                            b"<html><body>moved</body></html>")
            return (200, "OK", [b"Content-Type: text/html; charset=Shift_JIS"], [],
                    "<html><body>tarnIDまたはパスワードが違います</body></html>".encode("cp932"))
        if target == "arrival":
            eid = None
            for name, value in headers:
                if name.lower() == b"cookie":
                    for part in value.split(b";"):
                        key, _, val = part.strip().partition(b"=")
                        if key == b"EID":
                            eid = val
            with self.lock:
                user = self.sessions.get(eid)
                account = self.accounts.get(user) if user is not None else None
                if account is None:
                    text = b"unknown\r\n"
                elif account["dberror"]:
                    text = b"dberror\r\n"
                else:
                    text = str(account["count"]).encode() + b"\r\n"
            return (200, "OK", [b"Content-Type: text/plain"], [], text)
        if target == "top":
            return (200, "OK", [b"Content-Type: text/html; charset=Shift_JIS"], [],
                    "<html><body><h1>tarnメール</h1></body></html>".encode("cp932"))
        if target == "help":
            return (200, "OK", [b"Content-Type: text/html; charset=Shift_JIS"], [],
                    "<html><body><h1>Mewlark ヘルプ</h1></body></html>".encode("cp932"))
        return (404, "Not Found", [b"Content-Type: text/plain"], [], b"not found\r\n")


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
        if len(data) > MAX_HEAD:
            return None
    head, _, rest = data.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    parts = lines[0].split(b" ")
    if len(parts) < 3:
        return None
    method, target_path = parts[0].decode("latin-1"), parts[1].decode("latin-1")
    headers = []
    length = 0
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        headers.append((name.strip(), value.strip()))
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    body = rest
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return method, target_path, headers, body[:length], head + b"\r\n\r\n" + body[:length]


def reset_connection(conn):
    try:
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    except OSError:
        pass
    conn.close()


def endless_bytes(body, fill, step):
    """The body, then the fill again and again for ever, in pieces of step bytes."""
    pending = body
    while True:
        while len(pending) < step:
            pending += fill * (step // len(fill) + 1)
        yield pending[:step]
        pending = pending[step:]


def send_reply(conn, status, reason, headers, cookies, body, script=None):
    head = b"HTTP/1.1 %d %s\r\n" % (status, reason.encode("latin-1"))
    for header in headers:
        head += header + b"\r\n"
    for cookie in cookies:
        head += b"Set-Cookie: " + cookie + b"\r\n"
    if not (script and script.endless):
        head += b"Content-Length: %d\r\n" % len(body)
    head += b"Connection: close\r\n\r\n"

    if script and script.delay_ms:
        time.sleep(script.delay_ms / 1000)
    if script and script.drop == "before-headers":
        reset_connection(conn)
        return
    if script and script.stall == "before-headers":
        time.sleep(script.stall_ms / 1000)
        conn.close()
        return
    conn.sendall(head)
    if script and script.stall == "after-headers":
        time.sleep(script.stall_ms / 1000)
        conn.close()
        return
    if script and script.drop == "mid-body":
        conn.sendall(body[: len(body) // 2])
        time.sleep(0.2)
        reset_connection(conn)
        return
    if script and script.endless:
        # Ends when the client has closed its end and a send fails.
        for piece in endless_bytes(body, script.fill, 1 if script.drip_ms else 65536):
            conn.sendall(piece)
            if script.drip_ms:
                time.sleep(script.drip_ms / 1000)
    if script and script.drip_ms:
        for i in range(len(body)):
            conn.sendall(body[i:i + 1])
            time.sleep(script.drip_ms / 1000)
    else:
        conn.sendall(body)
    try:
        conn.shutdown(socket.SHUT_WR)
        conn.settimeout(2)
        while conn.recv(4096):
            pass
    except OSError:
        pass
    conn.close()


def handle(service, conn, context, control_allowed):
    try:
        if callable(context):
            context = context()
        if context is not None:
            conn.settimeout(30)
            conn = context.wrap_socket(conn, server_side=True)
            conn.settimeout(None)
        request = read_request(conn)
        if request is None:
            conn.close()
            return
        method, full_path, headers, body, raw = request
        path = full_path.split("?", 1)[0]
        if path.startswith("/_sim/"):
            reply = service.control(path, parse_form(body)) if control_allowed else None
            if reply is None:
                send_reply(conn, 404, "Not Found", [], [], b"")
            else:
                send_reply(conn, 200, "OK", [b"Content-Type: application/octet-stream"], [], reply)
            return
        target = target_of(path)
        service.record(target, raw)
        script = service.next_script(target)
        if script is not None:
            send_reply(conn, script.status, script.reason, script.headers, script.cookies, script.body,
                       script)
        else:
            send_reply(conn, *service.default_reply(target, method, headers, body))
    except (OSError, ssl.SSLError, ValueError):
        try:
            conn.close()
        except OSError:
            pass


class Port:
    """One port of the service, served on every loopback address that "localhost" may name:
    127.0.0.1, and ::1 where the machine has it (a fresh Debian lists ::1 first). Closed, it
    refuses connections as a service out of reach does."""

    def __init__(self, service, port, context, control_allowed):
        self.service, self.port, self.context, self.control_allowed = service, port, context, control_allowed
        self.listeners = []
        self.open()

    def open(self):
        if self.listeners:
            return
        for family, address in ((socket.AF_INET, "127.0.0.1"), (socket.AF_INET6, "::1")):
            try:
                listener = socket.socket(family, socket.SOCK_STREAM)
                listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                if family == socket.AF_INET6:
                    listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
                listener.bind((address, self.port))
            except OSError as error:
                if family == socket.AF_INET6 and error.errno in (errno.EADDRNOTAVAIL, errno.EAFNOSUPPORT):
                    continue
                raise
            listener.listen(64)
            self.listeners.append(listener)
            threading.Thread(target=self.accept, args=(listener,), daemon=True).start()

    def close(self):
        for listener in self.listeners:
            listener.shutdown(socket.SHUT_RDWR)
            listener.close()
        self.listeners = []

    def accept(self, listener):
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=handle, args=(self.service, conn, self.context, self.control_allowed),
                             daemon=True).start()


def make_certificates(cert_dir):
    """Test CA and server certificate, plus an untrusted pair; made once per folder."""
    os.makedirs(cert_dir, exist_ok=True)

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, cwd=cert_dir, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    with open(os.path.join(cert_dir, "server.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1\n"
                  "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n")
    for prefix, ca_name in (("", "Mewlark Test CA"), ("untrusted-", "Untrusted Test CA")):
        if os.path.exists(os.path.join(cert_dir, prefix + "server.pem")):
            continue
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                "-subj", "/CN=" + ca_name, "-keyout", prefix + "ca.key", "-out", prefix + "ca.pem",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("x509", "-in", prefix + "ca.pem", "-outform", "DER", "-out", prefix + "ca.der")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
                "-keyout", prefix + "server.key", "-out", prefix + "server.csr")
        openssl("x509", "-req", "-in", prefix + "server.csr", "-CA", prefix + "ca.pem",
                "-CAkey", prefix + "ca.key", "-CAcreateserial", "-days", "3650",
                "-extfile", "server.ext", "-out", prefix + "server.pem")


def tls_context(cert_dir, prefix):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(cert_dir, prefix + "server.pem"),
                            os.path.join(cert_dir, prefix + "server.key"))
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("--http-port", type=int, default=18080)
    parser.add_argument("--https-port", type=int, default=18081)
    parser.add_argument("--untrusted-port", type=int, default=18082)
    parser.add_argument("--control-port", type=int, default=18083)
    parser.add_argument("--cert-dir", required=True)
    parser.add_argument("--make-certificates-only", action="store_true")
    parser.add_argument("--ready-file")
    parser.add_argument("--demo", action="store_true",
                        help="demo mailbox: account demo / demo-pass, count changes every minute")
    parser.add_argument("--demo-interval", type=float, default=60.0)
    args = parser.parse_args()

    make_certificates(args.cert_dir)
    if args.make_certificates_only:
        return
    service = Service(args.demo)
    trusted, untrusted = tls_context(args.cert_dir, ""), tls_context(args.cert_dir, "untrusted-")
    service.service_ports = [
        Port(service, args.http_port, None, True),
        Port(service, args.https_port, lambda: untrusted if service.untrusted_https else trusted, False),
        Port(service, args.untrusted_port, untrusted, False),
    ]
    Port(service, args.control_port, None, True)
    if args.ready_file:
        with open(args.ready_file, "w") as ready:
            ready.write("%d\n" % os.getpid())
    print("mailsim: http %d, https %d, untrusted https %d, control %d%s" % (
        args.http_port, args.https_port, args.untrusted_port, args.control_port,
        ", demo mailbox" if args.demo else ""),
        flush=True)
    while True:
        time.sleep(args.demo_interval if args.demo else 3600)
        if args.demo:
            service.demo_tick()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
