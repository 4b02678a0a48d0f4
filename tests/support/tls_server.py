#!/usr/bin/env python3
"""A misbehaving HTTPS server for the tests, with a throwaway authority.

    tls_server.py DIR

Makes, in DIR, a certificate authority (ca.pem and ca.der: the one a test
trusts), and serves on 127.0.0.1, one port per kind of server:

  good       certificate for "localhost" and 127.0.0.1 from the authority
  wrongname  from the authority, for "other.example" and 127.0.0.2
  expired    from the authority, for the right names, expired a year ago
  untrusted  for the right names from an authority nobody trusts
  stall      reads the ClientHello and then says nothing until stopped
  alert      answers the ClientHello with a fatal handshake_failure alert
  bytewise   like good, but every byte (handshake included) in a write of its own
  plain      plain http, for redirects between the schemes
  keep       like good, but answers request after request on one connection
  proxy      a forwarding proxy: "GET"/"HEAD" in absolute form (passed on
             with the origin form and relayed until the server closes) and
             "CONNECT host:port" (answered 200, then a tunnel both ways);
             every request line it takes is added to DIR/proxy.log
  refuse     a proxy that answers every request with 407 (also logged)

The good, wrongname, expired, untrusted, bytewise and plain servers answer
one request per connection by its path:

  /file/NAME            200, Content-Length, the bytes of DIR/NAME
  /records/NAME         the same, the body written in records of 7 bytes
  /close-notify/NAME    no length: DIR/NAME, then close_notify, then close
  /cut/NAME             no length: DIR/NAME, then close without close_notify
  /to-https/NAME        302 to https://127.0.0.1:<good>/file/NAME
  /to-http/NAME         302 to http://127.0.0.1:<plain>/file/NAME
  /handshakes/keep      200, the number of handshakes the keep server made

When every port listens, DIR/ports.txt holds "name port" lines. The "control"
port is for the test that started the server: the server ends when the
test's connection to it closes, or after --lifetime seconds.
"""
import argparse
import datetime
import ipaddress
import os
import select
import socket
import ssl
import sys
import threading

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

stopping = threading.Event()
ports = {}
handshakes = {}
handshakes_lock = threading.Lock()


def make_key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def make_authority(key, title):
    now = datetime.datetime.now(datetime.timezone.utc)
    return (x509.CertificateBuilder().subject_name(name(title)).issuer_name(name(title))
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=30))
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
            .sign(key, hashes.SHA256()))


def make_leaf(key, authority, authority_key, dns, ip, days):
    now = datetime.datetime.now(datetime.timezone.utc)
    start, end = (now - datetime.timedelta(days=400), now - datetime.timedelta(days=365)) if days < 0 else (
        now - datetime.timedelta(days=1), now + datetime.timedelta(days=days))
    return (x509.CertificateBuilder().subject_name(name(dns)).issuer_name(authority.subject)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(start).not_valid_after(end)
            .add_extension(x509.SubjectAlternativeName([x509.DNSName(dns), x509.IPAddress(ipaddress.ip_address(ip))]),
                           critical=False)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
            .sign(authority_key, hashes.SHA256()))


def pem(certificate):
    return certificate.public_bytes(serialization.Encoding.PEM)


def server_context(folder, label, leaf, key):
    path = os.path.join(folder, label + "-server.pem")
    with open(path, "wb") as out:
        out.write(pem(leaf))
        out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
                                    serialization.NoEncryption()))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(path)
    return context


def make_contexts(folder):
    authority_key, stranger_key, leaf_key = make_key(), make_key(), make_key()
    authority = make_authority(authority_key, "Quillbrae Test Authority")
    stranger = make_authority(stranger_key, "Quillbrae Stranger Authority")
    with open(os.path.join(folder, "ca.pem"), "wb") as out:
        out.write(pem(authority))
    with open(os.path.join(folder, "ca.der"), "wb") as out:
        out.write(authority.public_bytes(serialization.Encoding.DER))
    good = make_leaf(leaf_key, authority, authority_key, "localhost", "127.0.0.1", 30)
    return {
        "good": server_context(folder, "good", good, leaf_key),
        "bytewise": server_context(folder, "bytewise", good, leaf_key),
        "wrongname": server_context(
            folder, "wrongname", make_leaf(leaf_key, authority, authority_key, "other.example", "127.0.0.2", 30),
            leaf_key),
        "expired": server_context(
            folder, "expired", make_leaf(leaf_key, authority, authority_key, "localhost", "127.0.0.1", -1), leaf_key),
        "untrusted": server_context(
            folder, "untrusted", make_leaf(leaf_key, stranger, stranger_key, "localhost", "127.0.0.1", 30),
            leaf_key),
    }


class Link:
    """TLS over a socket through memory buffers, so that the raw bytes on
    the wire can be written one at a time and the connection can end with
    or without close_notify."""

    def __init__(self, connection, context, bytewise):
        self.connection = connection
        self.bytewise = bytewise
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)

    def flush(self):
        data = self.outgoing.read()
        if self.bytewise:
            for i in range(len(data)):
                self.connection.sendall(data[i:i + 1])
        elif data:
            self.connection.sendall(data)

    def pull(self):
        data = self.connection.recv(65536)
        if not data:
            raise EOFError
        self.incoming.write(data)

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                self.flush()
                return
            except ssl.SSLWantReadError:
                self.flush()
                self.pull()

    def read_request(self):
        request = b""
        while b"\r\n\r\n" not in request:
            try:
                request += self.tls.read(65536)
            except ssl.SSLWantReadError:
                self.flush()
                self.pull()
        return request

    def write(self, data, piece=None):
        piece = piece or max(len(data), 1)
        for at in range(0, len(data), piece):
            self.tls.write(data[at:at + piece])
        self.flush()

    def close_notify(self):
        try:
            self.tls.unwrap()
        except (ssl.SSLWantReadError, ssl.SSLError):
            pass
        self.flush()


class PlainLink:
    def __init__(self, connection):
        self.connection = connection

    def handshake(self):
        pass

    def read_request(self):
        request = b""
        while b"\r\n\r\n" not in request:
            data = self.connection.recv(65536)
            if not data:
                raise EOFError
            request += data
        return request

    def write(self, data, piece=None):
        self.connection.sendall(data)

    def close_notify(self):
        pass


def answer(link, request, folder):
    line = request.split(b"\r\n", 1)[0].decode("latin-1").split(" ")
    method, path = line[0], line[1] if len(line) > 1 else "/"
    head_only = method == "HEAD"
    parts = path.split("/")
    kind, item = (parts[1], "/".join(parts[2:])) if len(parts) > 2 else ("", "")
    if kind == "to-https":
        location = "https://127.0.0.1:%d/file/%s" % (ports["good"], item)
        link.write(("HTTP/1.1 302 Found\r\nLocation: %s\r\nContent-Length: 0\r\n\r\n" % location).encode())
        return
    if kind == "to-http":
        location = "http://127.0.0.1:%d/file/%s" % (ports["plain"], item)
        link.write(("HTTP/1.1 302 Found\r\nLocation: %s\r\nContent-Length: 0\r\n\r\n" % location).encode())
        return
    if kind == "handshakes":
        with handshakes_lock:
            body = str(handshakes.get(item, 0)).encode()
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)
        link.write(head + (b"" if head_only else body))
        return
    file = os.path.join(folder, os.path.basename(item))
    if kind not in ("file", "records", "close-notify", "cut") or not item or not os.path.isfile(file):
        link.write(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
        return
    with open(file, "rb") as source:
        body = source.read()
    if kind in ("file", "records"):
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)
        link.write(head + (b"" if head_only else body), 7 if kind == "records" else None)
        return
    link.write(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + (b"" if head_only else body))
    if kind == "close-notify":
        link.close_notify()


proxy_lock = threading.Lock()


def log_proxy_line(folder, line):
    with proxy_lock:
        with open(os.path.join(folder, "proxy.log"), "ab") as out:
            out.write(line + b"\n")


def read_head(connection):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = connection.recv(65536)
        if not piece:
            raise EOFError
        data += piece
    end = data.index(b"\r\n\r\n") + 4
    return data[:end], data[end:]


def relay(a, b):
    peers = {a: b, b: a}
    while not stopping.is_set():
        ready, _, _ = select.select([a, b], [], [], 0.05)
        for side in ready:
            data = side.recv(65536)
            if not data:
                return
            peers[side].sendall(data)


def proxy(connection, folder, refuse):
    head, rest = read_head(connection)
    line = head.split(b"\r\n", 1)[0]
    log_proxy_line(folder, line)
    if refuse:
        connection.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                           b"Proxy-Authenticate: Basic realm=\"tests\"\r\nContent-Length: 0\r\n\r\n")
        return
    method, target, _ = line.decode("latin-1").split(" ", 2)
    if method == "CONNECT":
        host, port = target.rsplit(":", 1)
        upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=20)
        connection.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        if rest:
            upstream.sendall(rest)
    else:
        if not target.startswith("http://"):
            connection.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")
            return
        authority, _, path = target[len("http://"):].partition("/")
        host, _, port = authority.rpartition(":")
        upstream = socket.create_connection((host.strip("[]"), int(port or 80)), timeout=20)
        lines = head.split(b"\r\n")
        lines[0] = ("%s /%s HTTP/1.1" % (method, path)).encode("latin-1")
        lines = [l for l in lines if not l.lower().startswith(b"connection:")]
        lines.insert(1, b"Connection: close")
        upstream.sendall(b"\r\n".join(lines) + rest)
    try:
        relay(connection, upstream)
    finally:
        upstream.close()


def serve(connection, label, context, folder):
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    connection.settimeout(20)
    try:
        if label == "stall":
            connection.recv(65536)
            while not stopping.wait(0.05):
                pass
            return
        if label == "alert":
            connection.recv(65536)
            connection.sendall(bytes([21, 3, 3, 0, 2, 2, 40]))
            return
        if label in ("proxy", "refuse"):
            proxy(connection, folder, label == "refuse")
            return
        link = PlainLink(connection) if context is None else Link(connection, context, label == "bytewise")
        link.handshake()
        with handshakes_lock:
            handshakes[label] = handshakes.get(label, 0) + 1
        answer(link, link.read_request(), folder)
        while label == "keep":
            answer(link, link.read_request(), folder)
    except (EOFError, OSError, ssl.SSLError):
        pass
    finally:
        connection.close()


def listen_loop(listener, label, context, folder):
    while not stopping.is_set():
        ready, _, _ = select.select([listener], [], [], 0.05)
        if not ready:
            continue
        try:
            connection, _ = listener.accept()
        except OSError:
            continue
        threading.Thread(target=serve, args=(connection, label, context, folder), daemon=True).start()


def control_loop(listener):
    ready, _, _ = select.select([listener], [], [], 30)
    if not ready:
        stopping.set()
        return
    connection, _ = listener.accept()
    while not stopping.is_set():
        ready, _, _ = select.select([connection], [], [], 0.05)
        if ready:
            try:
                if not connection.recv(1024):
                    break
            except OSError:
                break
    stopping.set()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--lifetime", type=float, default=600)
    arguments = parser.parse_args()
    folder = arguments.folder
    os.makedirs(folder, exist_ok=True)
    contexts = make_contexts(folder)
    labels = ["good", "wrongname", "expired", "untrusted", "stall", "alert", "bytewise", "plain", "keep", "proxy", "refuse", "control"]
    listeners = {}
    for label in labels:
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        listeners[label] = listener
        ports[label] = listener.getsockname()[1]
    for label in labels[:-1]:
        context = contexts.get("good" if label == "keep" else label)
        threading.Thread(target=listen_loop, args=(listeners[label], label, context, folder), daemon=True).start()
    threading.Thread(target=control_loop, args=(listeners["control"],), daemon=True).start()
    temporary = os.path.join(folder, "ports.tmp")
    with open(temporary, "w") as out:
        out.write("".join("%s %d\n" % (label, ports[label]) for label in labels))
    os.replace(temporary, os.path.join(folder, "ports.txt"))
    stopping.wait(arguments.lifetime)
    stopping.set()
    return 0


if __name__ == "__main__":
    sys.exit(main())
