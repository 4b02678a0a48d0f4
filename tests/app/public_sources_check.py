#!/usr/bin/env python3
"""The widget's own executable with no RateUrl, reading its default public
sources, whose host names point at this test's own HTTPS servers on
loopback (scripts/with-public-hosts: a private mount namespace with its own
/etc/hosts and a CA bundle that adds this test's authority).

    public_sources_check.py WORKDIR WIDGET DRIVE WITH_PUBLIC_HOSTS

WINEPREFIX and DISPLAY come from the environment. Cases, on one run of the
widget with UpdateTimer=10000:
  1. both answer: the ECB's rates, and Frankfurter is never asked;
  2. the ECB answers 503, refuses, or shows a certificate for another name:
     Frankfurter's rates in the same cycle, and the status names it;
  3. the ECB recovers: its rates come back on the next cycle it is asked;
  4. the ECB says max-age=30: its next request is at least 30 s later.
Exit code 0 when every case holds, 1 otherwise, 77 when no private mount
namespace or no port 443 is to be had here.
"""
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import tls_server  # noqa: E402  (the tests' authority and certificates)

ECB, FRANKFURTER = "www.ecb.europa.eu", "api.frankfurter.dev"
ADDRESSES = {ECB: "127.0.0.2", FRANKFURTER: "127.0.0.3"}
PATHS = {ECB: "/stats/eurofxref/eurofxref-daily.xml", FRANKFURTER: "/v1/latest"}
BODIES = {
    ECB: b"""<?xml version="1.0" encoding="UTF-8"?>
<gesmes:Envelope xmlns:gesmes="http://www.gesmes.org/xml/2002-08-01" xmlns="http://www.ecb.int/vocabulary/2002-08-01/eurofxref">
<gesmes:subject>Reference rates</gesmes:subject>
<Cube><Cube time='2026-12-08'>
<Cube currency='USD' rate='1.0855'/><Cube currency='JPY' rate='163.12'/><Cube currency='GBP' rate='0.8561'/>
</Cube></Cube></gesmes:Envelope>
""",
    FRANKFURTER: b'{"amount":1.0,"base":"EUR","date":"2026-12-08","rates":{"USD":1.0899,"JPY":164.5,"GBP":0.8601}}',
}

failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        failures.append(message)
    return condition


class Source:
    """One public host's stand-in on ADDRESS:443. `mode` says how the next
    connections are answered: "ok", "503", "refuse" (nothing listens) or
    "wrongname" (a certificate for other.example); `headers` go with each
    answer. Every GET is noted with the time it came."""

    def __init__(self, host, contexts):
        self.host, self.contexts = host, contexts
        self.mode, self.headers = "ok", ""
        self.gets = []  # (monotonic time, status sent)
        self.lock = threading.Lock()
        self.listener = None
        self.stopping = False
        self.listen()
        threading.Thread(target=self.serve, daemon=True).start()

    def listen(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((ADDRESSES[self.host], 443))
        listener.listen(16)
        self.listener = listener

    def set(self, mode, headers=""):
        with self.lock:
            self.mode, self.headers = mode, headers
            if mode == "refuse" and self.listener:
                self.listener.close()
                self.listener = None
            elif mode != "refuse" and not self.listener:
                self.listen()

    def Gets(self):
        with self.lock:
            return list(self.gets)

    def serve(self):
        while not self.stopping:
            with self.lock:
                listener = self.listener
            if listener is None:
                time.sleep(0.05)
                continue
            try:
                listener.settimeout(0.1)
                connection, _ = listener.accept()
            except (socket.timeout, OSError):
                continue
            threading.Thread(target=self.answer, args=(connection,), daemon=True).start()

    def answer(self, connection):
        with self.lock:
            mode, headers = self.mode, self.headers
        context = self.contexts["wrongname" if mode == "wrongname" else self.host]
        try:
            connection.settimeout(10)
            tls = context.wrap_socket(connection, server_side=True)
            request = b""
            while b"\r\n\r\n" not in request and len(request) < 65536:
                piece = tls.recv(4096)
                if not piece:
                    return
                request += piece
            method, target = request.split(b" ", 2)[:2]
            if target.decode() != PATHS[self.host]:
                status, body = "404 Not Found", b"no such page"
            elif mode == "503":
                status, body = "503 Service Unavailable", b"busy"
            else:
                status, body = "200 OK", BODIES[self.host]
            # Requests for the rate page only: a source's history is another page.
            if method == b"GET" and target.decode() == PATHS[self.host]:
                with self.lock:
                    self.gets.append((time.monotonic(), status[:3]))
            head = "HTTP/1.1 %s\r\nContent-Length: %d\r\n%sConnection: close\r\n\r\n" % (status, len(body), headers)
            tls.sendall(head.encode() + (body if method == b"GET" else b""))
            tls.close()
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            connection.close()


def main():
    work, widget, drive, with_hosts = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        print("skipped: no private mount namespace here (root?)")
        return 77

    # The authority, a certificate for each host, and one for another name.
    authority_key, leaf_key = tls_server.make_key(), tls_server.make_key()
    authority = tls_server.make_authority(authority_key, "Quillbrae Public Hosts Test Authority")
    ca = os.path.join(work, "ca.pem")
    with open(ca, "wb") as out:
        out.write(tls_server.pem(authority))
    contexts = {}
    for host in (ECB, FRANKFURTER):
        leaf = tls_server.make_leaf(leaf_key, authority, authority_key, host, ADDRESSES[host], 30)
        contexts[host] = tls_server.server_context(work, host, leaf, leaf_key)
    other = tls_server.make_leaf(leaf_key, authority, authority_key, "other.example", "127.0.0.9", 30)
    contexts["wrongname"] = tls_server.server_context(work, "wrongname", other, leaf_key)
    try:
        sources = {host: Source(host, contexts) for host in (ECB, FRANKFURTER)}
    except OSError as error:
        print("skipped: port 443 on loopback not to be had:", error)
        return 77
    ecb, frankfurter = sources[ECB], sources[FRANKFURTER]

    folder = os.path.join(work, "widget")
    os.makedirs(folder)
    shutil.copy(widget, os.path.join(folder, "quillbrae.exe"))
    with open(os.path.join(folder, "quillbrae.ini"), "w") as ini:
        ini.write("[Window]\nMainLeft=40\nMainTop=40\nMainWidth=560\nMainHeight=290\n"
                  "[Quillbrae]\nUpdateTimer=10000\n")  # no RateUrl: the defaults
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    out = open(os.path.join(folder, "quillbrae.out"), "w")
    process = subprocess.Popen([with_hosts, ca, "wine", "quillbrae.exe"], cwd=folder, env=env, stdout=out,
                               stderr=subprocess.STDOUT)

    # Its answer goes through a file: a pipe would stay open as long as
    # anything Wine keeps running holds it.
    answer = os.path.join(work, "drive.out")

    def drive_(*args):
        with open(answer, "w") as out:
            return subprocess.run(["wine", drive] + list(args), env=env, stdout=out, stderr=subprocess.DEVNULL,
                                  stdin=subprocess.DEVNULL, timeout=30).returncode

    def status():
        if drive_("text") != 0:
            return ""
        with open(answer) as given:
            return given.read().strip()

    def wait_until(condition, seconds):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline or process.poll() is not None:
                return False
            time.sleep(0.2)
        return True

    def wait_status(pattern, seconds):
        deadline, text = time.monotonic() + seconds, ""
        while time.monotonic() < deadline:
            text = status()
            if re.search(pattern, text):
                return text
            if process.poll() is not None:
                break
            time.sleep(0.3)
        print("     status: %r" % text)
        return None

    clock = r"\d\d:\d\d:\d\d"
    try:
        # 1. Both answer: the ECB's rates; Frankfurter is left alone.
        check(wait_status(r"^Quillbrae - updated %s from www\.ecb\.europa\.eu$" % clock, 90) is not None,
              "no RateUrl: the ECB's rates, named in the status")
        check(len(frankfurter.Gets()) == 0, "Frankfurter is not asked while the ECB answers")

        # 2. The ECB fails three ways: Frankfurter's rates in the same cycle.
        for mode, reason in (("503", "HTTP 503"), ("refuse", "connection refused"),
                             ("wrongname", "certificate for another name")):
            ecb.set(mode)
            ecb_before, frank_before = len(ecb.Gets()), len(frankfurter.Gets())
            drive_("command", "12")  # "&Update now"
            wait_until(lambda: len(frankfurter.Gets()) > frank_before, 30)
            text = wait_status(r"^Quillbrae - updated %s from api\.frankfurter\.dev$" % clock, 30)
            check(text is not None, "ECB %s: Frankfurter's rates, named in the status" % reason)
            check(len(frankfurter.Gets()) == frank_before + 1, "ECB %s: Frankfurter asked once" % reason)
            if mode == "503":
                gets = ecb.Gets()[ecb_before:]
                check(len(gets) == 1 and gets[0][1] == "503" and frankfurter.Gets()[-1][0] - gets[0][0] < 5,
                      "ECB 503: Frankfurter asked right after it, in the same cycle")

        # 3. The ECB recovers: its rates on the next cycle it is asked,
        # without "&Update now" (its back-off: two intervals, +-10 %).
        ecb.set("ok")
        asked_from = len(ecb.Gets())
        text = wait_status(r"^Quillbrae - updated %s from www\.ecb\.europa\.eu$" % clock, 60)
        check(text is not None, "the ECB recovered: its rates are back")
        check(len(ecb.Gets()) == asked_from + 1, "on the first cycle it was asked again")

        # 4. max-age=30 with a 10 s interval: the next request 30 s later.
        ecb.set("ok", "Cache-Control: max-age=30\r\n")
        drive_("command", "12")
        text = wait_status(r"^Quillbrae - updated %s from www\.ecb\.europa\.eu, next check \d\d:\d\d$" % clock, 30)
        check(text is not None, "max-age=30: the status says when the next check is")
        answered = ecb.Gets()[-1][0]
        frank_before = len(frankfurter.Gets())
        wait_until(lambda: ecb.Gets()[-1][0] != answered, 60)
        gap = ecb.Gets()[-1][0] - answered
        print("     next request to the ECB %.1f s after the answer with max-age=30" % gap)
        check(gap >= 30, "max-age=30: the ECB is not asked again within 30 s")
        check(gap < 45, "max-age=30: but asked again soon after")
        check(len(frankfurter.Gets()) == frank_before, "meanwhile Frankfurter is left alone")
    finally:
        drive_("exit", "20000")
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
        for source in sources.values():
            source.stopping = True
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
