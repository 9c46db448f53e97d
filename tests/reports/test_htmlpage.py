#!/usr/bin/env python3
"""A web page that zvfee report writes, in a real browser: headless Chromium driven by
chromedriver over the WebDriver protocol. The page loads with its script and style (the
Content-Security-Policy lets our own run and nothing else), a click on a column title sorts the
rows, the filter hides rows, the screenshot is not blank, and no request leaves the page.
Exits 77 (skipped) when chromium or chromedriver is not installed."""
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

BUILD = sys.argv[1]
SAMPLES = sys.argv[2]
SKIP = 77


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Driver:
    def __init__(self, port):
        self.base = f"http://127.0.0.1:{port}"
        self.session = None

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=120) as answer:
            return json.loads(answer.read())["value"]

    def s(self, method, path, body=None):
        return self.call(method, f"/session/{self.session}{path}", body)

    def element(self, css):
        found = self.s("POST", "/element", {"using": "css selector", "value": css})
        return next(iter(found.values()))

    def rows(self):
        return self.s("POST", "/execute/sync", {"script": """
            return Array.from(document.querySelectorAll('#rows tbody tr'))
                .filter(r => !r.hidden).map(r => Array.from(r.cells).map(c => c.textContent));""",
                                                "args": []})


def png_varies(png):
    """Whether a PNG holds more than one colour, near enough: a blank page's pixel bytes are
    one value and its filter bytes another."""
    pos, data = 8, b""
    while pos < len(png):
        length = int.from_bytes(png[pos:pos + 4], "big")
        kind = png[pos + 4:pos + 8]
        if kind == b"IDAT":
            data += png[pos + 8:pos + 8 + length]
        pos += 12 + length
    return len(set(zlib.decompress(data))) > 8


def main():
    chromium = shutil.which("chromium")
    chromedriver = shutil.which("chromedriver")
    if not chromium or not chromedriver:
        print("SKIP: chromium and chromedriver are not installed (scripts/setup --with-browser)")
        sys.exit(SKIP)
    work = tempfile.mkdtemp()
    zvfee = os.path.join(BUILD, "zvfee")
    db = os.path.join(work, "fees.db3")
    files = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if f.endswith(".txt"))
    subprocess.run([zvfee, "import", "--db", db] + files, check=True, capture_output=True)
    page = os.path.join(work, "fees.html")
    subprocess.run([zvfee, "report", "--db", db, "--report", "Fees by Player", "--chart",
                    "--output", page], check=True)
    flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-dev-shm-usage", "--window-size=1200,900"]

    # Loaded as it is: the script ran (the controls are shown) and every row is there.
    dom = subprocess.run([chromium] + flags + [f"--user-data-dir={work}/dump", "--dump-dom",
                                               "file://" + page],
                         capture_output=True, text=True, timeout=300).stdout
    if "<tbody>" not in dom or 'id="controls" hidden' in dom:
        fail("the page did not load with its script: " + dom[:300])

    port = free_port()
    driver_process = subprocess.Popen([chromedriver, f"--port={port}"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    driver = Driver(port)
    try:
        for _ in range(100):
            try:
                driver.call("GET", "/status")
                break
            except OSError:
                time.sleep(0.2)
        options = {"binary": chromium,
                   "args": flags + [f"--user-data-dir={work}/profile"]}
        created = driver.call("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome", "goog:chromeOptions": options,
            "goog:loggingPrefs": {"browser": "ALL"}}}})
        driver.session = created["sessionId"]
        driver.s("POST", "/url", {"url": "file://" + page})

        before = driver.rows()
        if len(before) < 3:
            fail(f"expected the sample players, got {before}")
        names = [r[0] for r in before]
        driver.s("POST", f"/element/{driver.element('#rows th:nth-child(1)')}/click", {})
        ascending = [r[0] for r in driver.rows()]
        # The page sorts as the reader's language does (Ł after L): the plain names in order.
        plain = [n for n in ascending if n.isascii()]
        if sorted(ascending) != sorted(names) or plain != sorted(plain, key=str.casefold) \
                or ascending == names:
            fail(f"a click on the first title did not sort by it: {ascending}")
        driver.s("POST", f"/element/{driver.element('#rows th:nth-child(1)')}/click", {})
        descending = [n for n in (r[0] for r in driver.rows()) if n.isascii()]
        if descending != sorted(plain, key=str.casefold, reverse=True):
            fail(f"a second click did not reverse the order: {descending}")
        last = len(before[0])
        driver.s("POST", f"/element/{driver.element(f'#rows th:nth-child({last})')}/click", {})
        fees = [float(r[-1]) for r in driver.rows()]
        if fees != sorted(fees):
            fail(f"a click on the fees did not sort them as numbers: {fees}")

        target = names[0]
        driver.s("POST", f"/element/{driver.element('#filter')}/value", {"text": target})
        shown = driver.rows()
        if not shown or len(shown) >= len(before) or any(
                not any(target.lower() in c.lower() for c in r) for r in shown):
            fail(f"the filter \"{target}\" left {shown}")

        if not png_varies(base64.b64decode(driver.s("GET", "/screenshot"))):
            fail("the screenshot is blank")
        # The page asked for nothing beyond itself (the browser's own traffic is not the page's).
        fetched = driver.s("POST", "/execute/sync", {"script": """
            return performance.getEntriesByType('resource').map(e => e.name);""", "args": []})
        if fetched:
            fail(f"the page made requests: {fetched}")
        refused = [e["message"] for e in driver.s("POST", "/se/log", {"type": "browser"})
                   if "Content Security Policy" in e["message"] or e["level"] == "SEVERE"]
        if refused:
            fail(f"the browser refused or reported: {refused}")
        driver.s("DELETE", "")
        driver.session = None
    finally:
        if driver.session:
            try:
                driver.s("DELETE", "")
            except OSError:
                pass
        driver_process.terminate()
        driver_process.wait(30)

    shutil.rmtree(work, ignore_errors=True)
    print("PASS: the page loads, sorts, filters and fetches nothing")


main()
