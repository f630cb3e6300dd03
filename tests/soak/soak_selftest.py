#!/usr/bin/env python3
"""Checks of the soak runner's own parts: the relay that delivers faults and counts stream
bytes, and the /proc reader. Run: python3 tests/soak/soak_selftest.py"""

import os
import socket
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soak  # noqa: E402

STREAM_BODY = b"x" * 5000


class FakeCamera:
    """Answers by path: the ASF stream sends STREAM_BODY and stays open, the Motion-JPEG
    stream answers with the busy page, every other page with a short 200 and stays open."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                c, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._answer, args=(c,), daemon=True).start()

    def _answer(self, c):
        with c:
            request = c.recv(4096)
            if request.startswith(b"GET /img/video.asf"):
                c.sendall(b"HTTP/1.1 200 OK\r\n\r\n" + STREAM_BODY)
                if b"late" in request.split(b"\r\n")[0]:
                    time.sleep(0.3)
                    c.sendall(STREAM_BODY)
            elif request.startswith(b"GET /img/mjpeg.cgi"):
                c.sendall(b"HTTP/1.1 503 Service Unavailable\r\n\r\nbusy")
            else:
                c.sendall(b"HTTP/1.1 200 OK\r\n\r\nok")
            try:
                c.recv(1)  # until the peer goes away
            except OSError:
                pass


def fetch(port, path, want):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(f"GET {path} HTTP/1.1\r\nHost: x\r\n\r\n".encode())
    got = b""
    while len(got) < want:
        chunk = s.recv(65536)
        if not chunk:
            break
        got += chunk
    return s, got


def wait_for(cond, seconds=5):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if cond():
            return True
        time.sleep(0.02)
    return False


class RelayTest(unittest.TestCase):
    def setUp(self):
        self.camera = FakeCamera()
        self.relay = soak.Relay("t", self.camera.port)
        self.open = []

    def tearDown(self):
        for s in self.open:
            s.close()
        self.relay.close()
        self.camera.sock.close()

    def test_counts_only_accepted_stream_bytes(self):
        s, got = fetch(self.relay.port, "/img/video.asf?x=1", len(STREAM_BODY) + 19)
        busy, _ = fetch(self.relay.port, "/img/mjpeg.cgi", 10)
        page, _ = fetch(self.relay.port, "/util/query.cgi", 10)
        self.open += [s, busy, page]
        self.assertTrue(got.endswith(STREAM_BODY))
        self.assertTrue(wait_for(lambda: self.relay.snapshot()["refusals"] == {503: 1}))
        snap = self.relay.snapshot()
        # Header plus body of the accepted stream; the busy page and other pages add nothing.
        self.assertEqual(snap["ok_stream_bytes"], len(got))
        self.assertEqual(snap["stream_connections"], 2)
        self.assertEqual(snap["open_streams"], 2)

    def test_cut_drops_streams_and_spares_other_pages(self):
        stream, _ = fetch(self.relay.port, "/img/video.asf", len(STREAM_BODY))
        page, _ = fetch(self.relay.port, "/util/query.cgi", 10)
        self.open += [stream, page]
        self.assertEqual(self.relay.cut_streams(), 1)
        stream.settimeout(2)
        self.assertEqual(stream.recv(10), b"", "the stream's client sees the connection end")
        page.settimeout(0.3)
        with self.assertRaises(socket.timeout):
            page.recv(10)  # still open, nothing more to read
        self.assertEqual(self.relay.snapshot()["open_streams"], 0)
        self.assertEqual(self.relay.cut_streams(), 0)


    def test_frozen_stream_stays_open_and_silent(self):
        stream, first = fetch(self.relay.port, "/img/video.asf?late", len(STREAM_BODY) + 19)
        self.open.append(stream)
        self.assertEqual(self.relay.freeze_streams(), 1)
        counted = self.relay.snapshot()["ok_stream_bytes"]
        stream.settimeout(1.0)
        with self.assertRaises(socket.timeout):
            stream.recv(10)  # the camera's later bytes never arrive, nor does an end
        self.assertEqual(self.relay.snapshot()["ok_stream_bytes"], counted)
        # The host's reconnect goes through as normal.
        again, got = fetch(self.relay.port, "/img/video.asf", len(STREAM_BODY) + 19)
        self.open.append(again)
        self.assertTrue(got.endswith(STREAM_BODY))


class ProcStatusTest(unittest.TestCase):
    def test_live_and_finished_process(self):
        rss, threads = soak.proc_status(os.getpid())
        self.assertGreater(rss, 1000)
        self.assertGreaterEqual(threads, 1)
        p = subprocess.Popen(["true"])
        p.wait()
        self.assertIsNone(soak.proc_status(p.pid))


if __name__ == "__main__":
    unittest.main()
