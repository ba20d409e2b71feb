#!/usr/bin/env python3
"""The update check's WinHTTP client verifies TLS certificates: a loopback
HTTPS server with a self-signed certificate that Windows does not trust gets
no request through (status 0), while the same server's feed arrives through
Python's own client once told to trust that certificate (so the server
itself works).

    check_https_feed.py WINE_RUN HTTPS_GET_EXE WORK_DIR
"""
import http.server
import pathlib
import shutil
import ssl
import subprocess
import sys
import threading
import urllib.request

FEED = b'{"ombrix":{"version":"9.9.9","page":"/plugins/ombrix"}}'


class FeedHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200 if self.path == "/updates.json" else 404)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(FEED)))
        self.end_headers()
        self.wfile.write(FEED)

    def log_message(self, *arguments):
        pass


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def main():
    wine_run, tool, work = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    # A fresh self-signed certificate for 127.0.0.1, valid for a day.
    key, cert = work / "key.pem", work / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-addext", "basicConstraints=critical,CA:TRUE",
                    "-keyout", str(key), "-out", str(cert)], check=True, capture_output=True)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), FeedHandler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.timeout = 5
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"https://127.0.0.1:{server.server_address[1]}/updates.json"

    done = subprocess.run([wine_run, tool, url], capture_output=True, timeout=120)
    answer = done.stdout.replace(b"\r\n", b"\n")
    trusting = ssl.create_default_context(cafile=str(cert))
    with urllib.request.urlopen(url, context=trusting, timeout=10) as response:
        direct = response.read()
    checks = [("the feed arrives to a client that trusts the certificate", direct == FEED),
              ("WinHTTP refuses the untrusted certificate", answer == b"0\n")]
    server.shutdown()
    failed = [name for name, ok in checks if not ok]
    for name in failed:
        print(f"failed: {name} (WinHTTP answered {answer!r})")
    print(f"{len(checks) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
