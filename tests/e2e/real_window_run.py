#!/usr/bin/env python3
"""Runs the desktop program in a real X window, the way a user meets it.

Started under xvfb-run, this script starts a window manager and a small web
server on 127.0.0.1 that answers every page the program's web view asks for
(it is the web view's proxy, so nothing leaves the machine), then starts the
real backtrail executable in a fresh settings folder and drives it with mouse
clicks and key presses through xdotool:

  first run: the Options dialog opens by itself; the own domain is typed and
  https referrers switched on, Ok stores them; the Help window is closed;
  Select All Files, Scan, the statistics box answered with Enter; the results
  sorted by clicks and the top referrer opened in the browser pane; Export
  (referers.html), File > Export CSV... and File > Export Report... (shown in
  the browser pane); Options, Help and About opened
  again; Visit opens the browser window; closing the main window leaves the
  program running until the browser window is closed too.

The exported page, the report and the CSV of the table are compared with what the
command-line scanner gives for the same files and the same settings file.
Screenshots of every step go to the output folder and stay there, also when a
check fails.
"""

import argparse
import configparser
import csv
import json
import html
import http.server
import os
import re
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
from html.parser import HTMLParser
from urllib.parse import urlsplit

PROGRAM_CAPTION = "Backtrail by Backtrail Developers"
OWN_DOMAIN = "www.example.org"
SITE_TITLE = "Example site"
REFERRER_TITLE = "Referring page"

# The main window's design places in pixels, relative to the client area under
# the menu bar (15 twips to a pixel): the top row of buttons, and the left
# column's frames at 4, 60.
SCAN_BUTTON = (128 + 26, 4 + 26)
OPTIONS_BUTTON = (252 + 26, 4 + 26)
VISIT_BUTTON = (320 + 80, 4 + 26)
SELECT_ALL_BUTTON = (4 + 4 + 56, 60 + 16 + 26)
OPEN_BUTTON = (4 + 8 + 26, 60 + 16 + 26)
EXPORT_BUTTON = (4 + 64 + 26, 60 + 16 + 26)
EXPAND_BUTTON = (4 + 120 + 40, 60 + 16 + 26)
# The results table sits at 8, 72 inside its frame; its columns are 42 (Type)
# and 62 (Clicks) pixels wide.
TABLE_TOP_LEFT = (4 + 8, 60 + 72)


class Failure(Exception):
    pass


class Log:
    def __init__(self):
        self.start = time.monotonic()

    def __call__(self, text):
        print(f"[{time.monotonic() - self.start:6.1f}s] {text}", flush=True)


log = Log()


# --- The web view's proxy ------------------------------------------------------


class PageServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), PageHandler)
        self.lock = threading.Lock()
        self.requests = []

    def record(self, line):
        with self.lock:
            self.requests.append(line)

    def seen(self):
        with self.lock:
            return list(self.requests)


class PageHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_page(self, status, title, body_text):
        body = (
            "<!DOCTYPE html><html><head><meta charset='utf-8'><title>"
            + html.escape(title)
            + "</title></head><body style='font-family:sans-serif'><h1>"
            + html.escape(title)
            + "</h1><p>"
            + html.escape(body_text)
            + "</p></body></html>"
        ).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        self.server.record(f"{self.command} {self.path}")
        address = urlsplit(self.path)
        if not address.scheme:
            self.send_page(400, "Not a proxy request", self.path)
        elif address.path == "/favicon.ico":
            self.send_page(404, "Not found", self.path)
        elif address.hostname in (OWN_DOMAIN, "example.org"):
            self.send_page(200, SITE_TITLE, "The web site of the program, served on 127.0.0.1.")
        else:
            self.send_page(200, REFERRER_TITLE, self.path)

    do_HEAD = do_GET

    def do_POST(self):
        self.server.record(f"{self.command} {self.path}")
        self.send_page(405, "Not allowed", self.path)

    def do_CONNECT(self):
        # Secure pages would need a tunnel to the outside: refused.
        self.server.record(f"{self.command} {self.path}")
        self.send_response(403)
        self.send_header("Content-Length", "0")
        self.end_headers()
        self.close_connection = True


# --- The X session -------------------------------------------------------------


def run(args, timeout=15, check=True):
    done = subprocess.run(args, capture_output=True, text=True, timeout=timeout)
    if check and done.returncode != 0:
        raise Failure(f"{' '.join(args)} failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout


def poll(what, test, timeout, interval=0.2):
    """Calls test until it returns something true; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def window_name(wid):
    return run(["xdotool", "getwindowname", wid], check=False).strip()


def visible_windows(pattern=""):
    """Visible windows with a title (xdotool's pattern: part of it, any letter case), with their titles."""
    ids = run(["xdotool", "search", "--onlyvisible", "--name", pattern], check=False).split()
    named = [(wid, window_name(wid)) for wid in ids]
    return [(wid, name) for wid, name in named if name]


def find_windows(pattern):
    """Visible top-level windows whose whole title matches the pattern."""
    return [wid for wid, name in visible_windows(pattern) if re.fullmatch(pattern, name)]


def wait_window(pattern, timeout=30):
    try:
        ids = poll(f"a window titled /{pattern}/", lambda: find_windows(pattern), timeout)
    except Failure as failure:
        raise Failure(f"{failure}; windows in sight: {[name for _, name in visible_windows()]}")
    return ids[0]


def wait_gone(wid, timeout=15):
    def gone():
        return wid not in run(["xdotool", "search", "--onlyvisible", "--name", ""], check=False).split()

    poll(f"window {wid} to close", gone, timeout)


def geometry(wid):
    """Absolute left, top, width and height of a window's own area (without the frame)."""
    info = run(["xwininfo", "-id", wid])

    def field(label):
        return int(re.search(label + r":\s+(-?\d+)", info).group(1))

    return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"))


def activate(wid):
    run(["xdotool", "windowactivate", "--sync", wid], check=False)
    poll(f"window {wid} to take the focus", lambda: run(["xdotool", "getactivewindow"], check=False).strip() == wid, 10)


def pointer():
    found = re.search(r"x:(\d+) y:(\d+)", run(["xdotool", "getmouselocation"]))
    return (int(found.group(1)), int(found.group(2)))


def click(x, y, count=1):
    # Not "mousemove --sync": it waits for a motion that never comes when the
    # pointer is already there.
    run(["xdotool", "mousemove", str(x), str(y)])
    poll(f"the pointer at {x}, {y}", lambda: pointer() == (x, y), 5, 0.05)
    time.sleep(0.1)
    run(["xdotool", "click", "--repeat", str(count), "--delay", "80", "1"])


def keys(*names):
    run(["xdotool", "key", "--delay", "60", *names])


def type_text(text):
    run(["xdotool", "type", "--delay", "40", text])


class Screenshots:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def take(self, name, wid=None):
        self.count += 1
        path = os.path.join(self.folder, f"{self.count:02d}-{name}.png")
        time.sleep(0.4)  # the last paint lands
        run(["import", "-window", wid or "root", path], timeout=30, check=False)
        log(f"screenshot {os.path.basename(path)}")
        return path


class MainWindow:
    """Clicks at the design places of the main window's controls."""

    def __init__(self, wid):
        self.wid = wid
        left, top, width, height = geometry(wid)
        # The window is opened at its design size: a client area of 897 by 614
        # pixels under the menu bar.
        self.menu_bar = height - 614
        if not 10 <= self.menu_bar <= 60:
            raise Failure(f"the main window is {width} x {height}, not its design size 897 x 614 plus a menu bar")
        self.left, self.top = left, top

    def at(self, place):
        return (self.left + place[0], self.top + self.menu_bar + place[1])

    def click(self, place, count=1):
        activate(self.wid)
        click(*self.at(place), count=count)

    def menu(self, position, item=0):
        """Opens the menu bar's menu at a position (0 is File) and starts its first item (of File: any item)."""
        activate(self.wid)
        click(self.left + 14, self.top + self.menu_bar // 2)
        time.sleep(0.3)
        if position == 0:
            keys(*(["Down"] * (item + 1)))
        else:
            keys(*(["Right"] * position))
        time.sleep(0.2)
        keys("Return")


# --- Reading the outputs -------------------------------------------------------


class Links(HTMLParser):
    def __init__(self):
        super().__init__()
        self.links = []
        self.href = None
        self.text = ""

    def handle_starttag(self, tag, attrs):
        if tag == "a":
            self.href = dict(attrs).get("href")
            self.text = ""

    def handle_data(self, data):
        if self.href is not None:
            self.text += data

    def handle_endtag(self, tag):
        if tag == "a" and self.href is not None:
            self.links.append((self.href, self.text))
            self.href = None


def links_of(path):
    parser = Links()
    with open(path, encoding="utf-8", errors="replace") as page:
        parser.feed(page.read())
    return parser.links


def expect(condition, text):
    if not condition:
        raise Failure(text)
    log(f"ok: {text}")


# --- The run -------------------------------------------------------------------


def start_window_manager(env, output):
    wm_log = open(os.path.join(output, "openbox.log"), "w")
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=wm_log, stderr=subprocess.STDOUT)

    def ready():
        check = run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
        return "window id" in check

    poll("the window manager", ready, 20)
    log("openbox manages the screen")
    return wm


def session_environment(home):
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy") and not k.startswith("QT_")}
    folders = {
        "HOME": "home",
        "XDG_CONFIG_HOME": "config",
        "XDG_DATA_HOME": "data",
        "XDG_CACHE_HOME": "cache",
        "XDG_STATE_HOME": "state",
        "XDG_RUNTIME_DIR": "runtime",
    }
    for variable, name in folders.items():
        path = os.path.join(home, name)
        os.makedirs(path, mode=0o700, exist_ok=True)
        env[variable] = path
    return env


def drive(args, shots, server, env, logs, program_log):
    settings_file = os.path.join(env["XDG_CONFIG_HOME"], "Backtrail", "Backtrail.ini")
    program_env = dict(env)
    program_env.update(
        {
            "QT_QPA_PLATFORM": "xcb",
            "QTWEBENGINE_DISABLE_SANDBOX": "1",
            "QTWEBENGINE_CHROMIUM_FLAGS": f"--disable-gpu --proxy-server=127.0.0.1:{server.server_address[1]}",
        }
    )
    program = subprocess.Popen(
        [args.backtrail], cwd=logs, env=program_env, stdout=program_log, stderr=subprocess.STDOUT
    )
    log(f"backtrail started (pid {program.pid}) in {logs}")
    try:
        steps(args, shots, server, env, logs, settings_file, program)
    except (Failure, OSError, subprocess.SubprocessError):
        # What the screen showed when the run went wrong, while the program still runs.
        try:
            shots.take("failure")
            print(f"windows in sight: {visible_windows()}", file=sys.stderr)
        except (Failure, OSError, subprocess.SubprocessError) as error:
            print(f"no screenshot of the failure: {error}", file=sys.stderr)
        raise
    finally:
        if program.poll() is None:
            program.terminate()
            try:
                program.wait(15)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()


def steps(args, shots, server, env, logs, settings_file, program):
    # First run: the main window, the Help window and the Options dialog on top.
    main_id = wait_window(re.escape(PROGRAM_CAPTION) + r"( - .*)?", 60)
    options_id = wait_window("Options", 30)
    help_id = wait_window(r"Readme/Help", 30)
    main = MainWindow(main_id)
    # The browser pane starts on a page of the program's own: nothing goes to the network.
    time.sleep(3)
    expect(
        not any(request.startswith("GET http://www.example.org/") for request in server.seen()),
        "the browser pane asked the proxy for nothing at start",
    )
    shots.take("first-run")
    shots.take("options-first-run", options_id)
    expect(not os.path.exists(settings_file), "nothing is stored before Options is confirmed")

    # The own domain, typed over the placeholder; every switch, https referrers included, is on at first.
    activate(options_id)
    keys("ctrl+a")
    type_text(OWN_DOMAIN)
    shots.take("options-filled", options_id)
    keys("Return")  # Enter in the domain box is Ok
    wait_gone(options_id)
    poll("the settings file", lambda: os.path.exists(settings_file), 10)
    stored = configparser.ConfigParser(interpolation=None)
    stored.optionxform = str
    stored.read(settings_file)
    expect(stored.get("data", "strYourWebsite", fallback=None) == OWN_DOMAIN, f"Ok stored the own domain {OWN_DOMAIN}")
    expect(
        [stored.get("data", key, fallback=None) for key in ("bGetFileTypes", "bRemoveDupes", "bDisplayStats", "bHttps")]
        == ["1", "1", "1", "1"],
        "Ok stored the four switches as they were on a first run: all on, https referrers included",
    )

    shots.take("help-first-run", help_id)
    activate(help_id)
    keys("alt+F4")
    wait_gone(help_id)
    shots.take("main-window", main_id)

    # Select All Files, Scan, and the statistics box answered with Enter.
    main.click(SELECT_ALL_BUTTON)
    shots.take("files-selected", main_id)
    main.click(SCAN_BUTTON)
    started = time.monotonic()
    box = wait_window("Scan Finished", 120)
    log(f"the scan finished in {time.monotonic() - started:.1f} s")
    shots.take("scan-finished")
    activate(box)
    keys("Return")
    wait_gone(box)
    shots.take("results", main_id)

    # Sort by clicks (the first click sorts from most to fewest) and open the top row.
    table_left, table_top = TABLE_TOP_LEFT
    main.click((table_left + 1 + 42 + 31, table_top + 12))
    main.click((table_left + 60, table_top + 27))  # the first row, under the header
    before = len(server.seen())
    main.click(OPEN_BUTTON)
    opened = poll(
        "the opened referrer at the proxy",
        lambda: [r for r in server.seen()[before:] if r.startswith("GET ") and "/favicon.ico" not in r],
        30,
    )[0].split(" ", 1)[1]
    log(f"Open asked the proxy for {opened}")
    poll(
        "the referring page's title in the caption",
        lambda: find_windows(re.escape(PROGRAM_CAPTION + " - " + REFERRER_TITLE)),
        30,
    )
    shots.take("results-sorted-and-opened", main_id)

    # Expand widens the left column to show whole addresses; Contract narrows it again.
    main.click(EXPAND_BUTTON)
    shots.take("results-expanded", main_id)
    main.click(EXPAND_BUTTON)

    # Maximised: the browser side takes the new width, the lists the new height.
    # A double click on the title bar maximises a window in openbox, and restores it.
    design = geometry(main_id)
    title_bar = (design[0] + design[2] // 2, design[1] - 8)
    click(*title_bar, count=2)
    poll("the main window filling the screen", lambda: geometry(main_id)[2] > design[2] + 200, 10)
    time.sleep(0.5)
    shots.take("results-maximised", main_id)
    maximised = geometry(main_id)
    click(maximised[0] + maximised[2] // 2, maximised[1] - 8, count=2)
    poll("the main window at its design size again", lambda: geometry(main_id)[2:] == design[2:], 10)

    # Export: referers.html in the file list's folder, and the box that says so.
    exported = os.path.join(logs, "referers.html")
    main.click(EXPORT_BUTTON)
    poll("referers.html", lambda: os.path.exists(exported), 20)
    saved_box = wait_window("Backtrail", 20)
    shots.take("export-saved")
    activate(saved_box)
    keys("Return")
    wait_gone(saved_box)

    # File > Export CSV..., accepting the suggested file name.
    csv_path = os.path.join(logs, "referrers.csv")
    main.menu(0)
    dialog = wait_window("Export CSV", 20)
    shots.take("export-csv-dialog")
    activate(dialog)
    keys("Return")
    poll("referrers.csv", lambda: os.path.exists(csv_path), 20)
    wait_gone(dialog)

    compare_with_scanner(args, env, logs, exported, csv_path, opened)

    # File > Export Report..., accepting the suggested file name; the offer to
    # show it in the browser pane taken.
    report_path = os.path.join(logs, "referrers-report.html")
    main.menu(0, item=1)
    dialog = wait_window("Export Report", 20)
    activate(dialog)
    keys("Return")
    poll("referrers-report.html", lambda: os.path.exists(report_path), 20)
    wait_gone(dialog)
    offer = wait_window("Backtrail", 20)
    shots.take("export-report-offer")
    activate(offer)
    keys("Return")
    wait_gone(offer)
    time.sleep(3)  # the page draws its chart and list
    shots.take("report-in-browser-pane", main_id)
    compare_report_with_scanner(args, env, logs, report_path)

    # Options again, from its button: it shows what was stored; closed with its close box.
    main.click(OPTIONS_BUTTON)
    options_id = wait_window("Options", 20)
    shots.take("options", options_id)
    activate(options_id)
    keys("alt+F4")
    wait_gone(options_id)

    # Help > View Help, and About > About this software.
    main.menu(3)
    help_id = wait_window(r"Readme/Help", 20)
    shots.take("help", help_id)
    activate(help_id)
    keys("alt+F4")
    wait_gone(help_id)
    main.menu(4)
    about_id = wait_window("About Backtrail", 20)
    shots.take("about", about_id)
    activate(about_id)
    keys("alt+F4")
    wait_gone(about_id)

    # Visit opens the browser window on the web site, maximised.
    main.click(VISIT_BUTTON)
    browser_id = wait_window(re.escape(SITE_TITLE), 60)
    shots.take("browser-window")
    screen_width, screen_height = (int(n) for n in run(["xdotool", "getdisplaygeometry"]).split())
    _, _, width, height = geometry(browser_id)
    expect(width >= screen_width * 0.9 and height >= screen_height * 0.8, f"the browser window is maximised ({width} x {height})")

    # The main window closes first: the program lives on with the browser window.
    activate(main_id)
    keys("alt+F4")
    wait_gone(main_id)
    time.sleep(1)
    expect(program.poll() is None, "the program runs on while the browser window is open")
    shots.take("browser-window-alone")
    activate(browser_id)
    keys("alt+F4")
    try:
        code = program.wait(30)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end within 30 s of its last window closing")
    expect(code == 0, f"the program ended with exit status 0 after its last window closed (got {code})")

    offsite = [r for r in server.seen() if not r.startswith("GET http://")]
    log(f"the proxy answered {len(server.seen())} requests; refused or odd: {offsite}")


class ReportData(HTMLParser):
    """The JSON text of a report's <script type="application/json">."""

    def __init__(self):
        super().__init__()
        self.inside = False
        self.text = ""

    def handle_starttag(self, tag, attrs):
        self.inside = tag == "script" and ("type", "application/json") in attrs

    def handle_endtag(self, tag):
        self.inside = False

    def handle_data(self, data):
        if self.inside:
            self.text += data


def compare_report_with_scanner(args, env, logs, report_path):
    files = [os.path.join(logs, "access.log"), os.path.join(logs, "access.log.2.gz")]
    done = subprocess.run([args.scan, "--quiet", "--format", "report", *files], env=env, capture_output=True,
                          timeout=120)
    if done.returncode != 0:
        raise Failure(f"backtrail-scan --format report failed ({done.returncode}): {done.stderr.decode()}")
    shutil.copy(report_path, os.path.join(args.output, "referrers-report.html"))
    with open(report_path, encoding="utf-8") as page:
        gui, scanner = ReportData(), ReportData()
        gui.feed(page.read())
        scanner.feed(done.stdout.decode("utf-8"))
    gui_data, scanner_data = json.loads(gui.text), json.loads(scanner.text)
    expect(len(gui_data["rows"]["referrer"]) > 50, f"the report has {len(gui_data['rows']['referrer'])} rows")
    expect(gui_data == scanner_data, "the exported report holds the data of the scanner's --format report")


def compare_with_scanner(args, env, logs, exported, csv_path, opened):
    files = [os.path.join(logs, "access.log"), os.path.join(logs, "access.log.2.gz")]

    def scan(fmt):
        done = subprocess.run(
            [args.scan, "--quiet", "--format", fmt, *files], env=env, capture_output=True, timeout=120
        )
        if done.returncode != 0:
            raise Failure(f"backtrail-scan --format {fmt} failed ({done.returncode}): {done.stderr.decode()}")
        return done.stdout

    # The scanner reads the settings the Options dialog stored.
    html_page = scan("html")
    tsv_text = scan("tsv").decode("utf-8", errors="replace")
    with open(exported, "rb") as page:
        gui_page = page.read()
    with open(os.path.join(args.output, "scanner-referers.html"), "wb") as copy:
        copy.write(html_page)
    shutil.copy(exported, os.path.join(args.output, "referers.html"))
    shutil.copy(csv_path, os.path.join(args.output, "referrers.csv"))

    parser = Links()
    parser.feed(html_page.decode("utf-8", errors="replace"))
    gui_links = links_of(exported)
    expect(len(gui_links) > 50, f"the exported page has {len(gui_links)} links")
    expect(gui_links == parser.links, "the exported links are the scanner's html links, in the same order")
    expect(all(href.startswith(("http://", "https://", "#")) for href, _ in gui_links), "every exported link is a web address")
    expect(any(href.startswith("https://") for href, _ in gui_links), "https referrers are in the export (the stored switch)")
    expect(not any(OWN_DOMAIN in href for href, _ in gui_links), "the own domain is not among the exported links")
    expect(gui_page == html_page, "the exported file is byte for byte the scanner's html output")

    with open(csv_path, encoding="utf-8", newline="") as table:
        rows = list(csv.reader(table))
    header, rows = rows[0], rows[1:]
    expect(header[:4] == ["Type", "Clicks", "Referrer", "Landing Page"], f"the CSV starts with the table's columns {header}")
    tsv_rows = [line.split("\t") for line in tsv_text.splitlines() if line]
    if tsv_rows and not tsv_rows[0][1].strip().isdigit():
        tsv_rows = tsv_rows[1:]  # a caption line
    table_rows = sorted((r[0], int(r[1]), r[2], r[3]) for r in rows)
    scanner_rows = sorted((r[0], int(r[1]), r[2], r[3]) for r in tsv_rows)
    expect(len(rows) == len(tsv_rows), f"the table shows {len(rows)} rows, as many as the scanner finds")
    expect(table_rows == scanner_rows, "every row (type, clicks, referrer, landing page) is the scanner's")
    clicks = [int(r[1]) for r in rows]
    expect(clicks == sorted(clicks, reverse=True), "the table is sorted by clicks, most first")
    expect(sum(clicks) == sum(int(r[1]) for r in tsv_rows), f"the clicks add up to {sum(clicks)}")
    expect(opened == rows[0][2], f"Open loaded the top row's referrer {rows[0][2]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--backtrail", required=True)
    parser.add_argument("--scan", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--output", required=True, help="folder for the screenshots and logs")
    args = parser.parse_args()
    for name in ("backtrail", "scan", "samples", "output"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if not os.environ.get("DISPLAY"):
        print("no X display: run this under xvfb-run -a", file=sys.stderr)
        return 2
    for tool in ("xdotool", "xwininfo", "xprop", "import", "openbox"):
        if not shutil.which(tool):
            print(f"{tool} is missing (scripts/install-deps.sh installs it)", file=sys.stderr)
            return 2

    shutil.rmtree(args.output, ignore_errors=True)
    os.makedirs(args.output)
    shots = Screenshots(args.output)
    started = time.monotonic()
    home = tempfile.mkdtemp(prefix="backtrail-e2e-")
    logs = os.path.join(home, "logs")
    os.makedirs(logs)
    # The program exports into the folder it scans: copies keep the sources clean.
    for name in ("access.log", "access.log.2.gz"):
        shutil.copy(os.path.join(args.samples, name), logs)
    env = session_environment(home)

    server = PageServer()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    log(f"proxy on 127.0.0.1:{server.server_address[1]}")
    wm = None
    program_log_path = os.path.join(args.output, "backtrail.log")
    failed = False
    try:
        wm = start_window_manager(env, args.output)
        with open(program_log_path, "w") as program_log:
            drive(args, shots, server, env, logs, program_log)
    except (Failure, OSError, subprocess.SubprocessError) as failure:
        failed = True
        print(f"FAILED: {failure}", file=sys.stderr)
        print(f"requests at the proxy: {server.seen()}", file=sys.stderr)
        with open(program_log_path, errors="replace") as program_log:
            print("backtrail's output:\n" + program_log.read()[-4000:], file=sys.stderr)
    finally:
        server.shutdown()
        if wm is not None:
            wm.terminate()
            wm.wait(10)
        shutil.rmtree(home, ignore_errors=True)
    log(f"{'failed' if failed else 'passed'} in {time.monotonic() - started:.1f} s; screenshots in {args.output}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
