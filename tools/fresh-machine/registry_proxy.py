#!/usr/bin/env python3
"""The only way out of a fresh Debian tree's network namespace (tools/fresh-machine/check.sh):
an HTTP proxy for apt that reaches deb.debian.org, Debian's package registry, and nothing
else. Its two halves meet at a Unix socket that the tree and the host both see:
  registry_proxy.py outer SOCKET        on the host: SOCKET -> deb.debian.org:80, for
                                        requests of http://deb.debian.org/ only
  registry_proxy.py inner PORT SOCKET   in the namespace: 127.0.0.1:PORT -> SOCKET
"""
import os, socket, sys, threading

ALLOWED = b"deb.debian.org"

def pipe(a, b):
    try:
        while True:
            data = a.recv(65536)
            if not data:
                break
            b.sendall(data)
    except OSError:
        pass
    finally:
        for s in (a, b):
            try: s.shutdown(socket.SHUT_RDWR)
            except OSError: pass

def outer(client):
    head = b""
    while b"\r\n" not in head:
        chunk = client.recv(4096)
        if not chunk:
            client.close(); return
        head += chunk
    line = head.split(b"\r\n", 1)[0]
    parts = line.split(b" ")
    url = parts[1] if len(parts) > 2 else b""
    if not url.startswith(b"http://" + ALLOWED + b"/"):
        sys.stderr.write("refused: %r\n" % line); sys.stderr.flush()
        client.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        client.close(); return
    sys.stderr.write("allowed: %r\n" % line); sys.stderr.flush()
    upstream = socket.create_connection((ALLOWED.decode(), 80))
    upstream.sendall(head)
    threading.Thread(target=pipe, args=(upstream, client), daemon=True).start()
    pipe(client, upstream)

def inner(client, path):
    upstream = socket.socket(socket.AF_UNIX)
    upstream.connect(path)
    threading.Thread(target=pipe, args=(upstream, client), daemon=True).start()
    pipe(client, upstream)

if sys.argv[1] == "outer":
    path = sys.argv[2]
    if os.path.exists(path): os.unlink(path)
    server = socket.socket(socket.AF_UNIX); server.bind(path); server.listen(16)
    handler = lambda c: outer(c)
else:
    port, path = int(sys.argv[2]), sys.argv[3]
    server = socket.create_server(("127.0.0.1", port))
    handler = lambda c: inner(c, path)
while True:
    c, _ = server.accept()
    threading.Thread(target=handler, args=(c,), daemon=True).start()
