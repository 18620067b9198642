"""The report page of backtrail-scan, its data and in headless Chromium, used as a person would.

Writes random access logs (people, crawlers, spam, several days and UTC
offsets, hostile and non-UTF-8 referrers), has the built backtrail-scan write
both --format report and --format json for them, and checks
  - with --data-only: that the data the page carries, read back, equals the
    JSON's rows and details (with and without duplicate removal, grouped by
    site, within a date range);
  - otherwise, in the browser: that the page shows the JSON's status line and
    totals, lists every row, and that its search, sorting (text without
    regard to case), type filter, filter by the kind of source, date range (by
    dragging across the chart, by typed dates and by the address's "#" part)
    and a row's details agree with the JSON; that headings keep to one line; that nothing of the logs runs, that no
    referrer but http(s) is a link, that the page's own script and style run
    under its Content-Security-Policy, and that the page asks for nothing over
    the network.
Pictures of the page (light, dark, details, sites, print) are left in --shots.
"""
import argparse
import base64
import datetime
import html.parser
import json
import os
import random
import subprocess
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:  # --data-only needs no browser
    webdriver = None

HOSTILE = [
    b"http://evil.example/><script>window.pwned=1</script>",
    b'http://evil.example/x</script><script>window.pwned=2</script>',
    b"http://evil.example/<img src=x onerror=window.pwned=3>",
    b"http://evil.example/'quoted'\"double\"",
    b"http://bad\xff\xfe.example/\xc3(",
    b"https://<!--comment.example/",
]
PEOPLE = ["Mozilla/5.0 (X11; Linux x86_64) Firefox/120.0", "Mozilla/5.0 (iPhone) Mobile/15E148"]
CRAWLER = "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"
SPAM_HOSTS = ["0-0.fr", "007agent-i.fr", "01casino-x.ru"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def make_log(rng, lines):
    out = []
    for _ in range(lines):
        day = rng.randrange(1, 29)
        offset = rng.choice(["+0000", "+0200", "-0500"])
        when = "%02d/%s/2026:%02d:%02d:%02d %s" % (day, MONTHS[rng.randrange(10, 12)], rng.randrange(24),
                                                   rng.randrange(60), rng.randrange(60), offset)
        kind = rng.random()
        agent = CRAWLER if kind < 0.15 else rng.choice(PEOPLE)
        if kind > 0.9:
            referrer = b"http://%s/page%d" % (rng.choice(SPAM_HOSTS).encode(), rng.randrange(3))
        elif kind > 0.8:
            referrer = rng.choice(HOSTILE)
        elif kind > 0.72:  # a search engine's, or a page of its site that is no search
            referrer = rng.choice([b"http://www.google.com/search?q=w%d", b"http://www.google.com/p%d"]) \
                % rng.randrange(3)
        else:
            host = rng.choice([b"news", b"www.blog", b"forum", b"mail"])
            referrer = b"http://%s.example/p%d" % (host, rng.randrange(12))
        page = rng.choice([b"/", b"/index.html", b"/docs/manual.pdf", b"/about.php", b"/images/logo.png"])
        out.append(b'10.0.0.%d - - [%s] "GET %s HTTP/1.1" 200 100 "%s" "%s"\n'
                   % (rng.randrange(256), when.encode(), page, referrer, agent.encode()))
    return b"".join(out)


class DataReader(html.parser.HTMLParser):
    """The text of the page's <script type="application/json"> element."""

    def __init__(self):
        super().__init__()
        self.inside = False
        self.text = []

    def handle_starttag(self, tag, attrs):
        self.inside = tag == "script" and ("type", "application/json") in attrs

    def handle_endtag(self, tag):
        self.inside = False

    def handle_data(self, data):
        if self.inside:
            self.text.append(data)


def page_data(page):
    reader = DataReader()
    reader.feed(page)
    return json.loads("".join(reader.text))


def iso(data, seconds, offset):
    if seconds is None:
        return ""
    t = time.gmtime(data["firstTime"] + seconds)
    sign = "-" if offset < 0 else "+"
    return time.strftime("%Y-%m-%dT%H:%M:%S", t) + "%s%02d:%02d" % (sign, abs(offset) // 60, abs(offset) % 60)


DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"


def numbers(text, nullable=False):
    """A column of numbers as the page's data writes it (see ReportFormat.cpp)."""
    out, code, scale = [], 0, 1
    for c in text:
        digit = DIGITS.index(c)
        code += (digit & 31) * scale
        scale *= 32
        if digit < 32:
            if nullable and code == 0:
                out.append(None)
            else:
                code -= 1 if nullable else 0
                out.append(-(code + 1) // 2 if code % 2 else code // 2)
            code, scale = 0, 1
    return out


def rows_from_page(data):
    """The page's columns read back as the JSON's rows."""
    r = {name: column if name == "referrer" else numbers(column, name in ("firstStep", "lastAfter"))
         for name, column in data["rows"].items()}
    for k, name in enumerate(["type", "bot", "spam", "firstOffset", "lastOffset"]):
        r[name] = [data["classes"][c][k] for c in r["class"]]
    rows = []
    le = de = first = 0
    for i in range(len(r["referrer"])):
        lb, le = le, le + r["landingCount"][i]
        db, de = de, de + r["dayCount"][i]
        first = first if r["firstStep"][i] is None else first + r["firstStep"][i]
        seen = None if r["firstStep"][i] is None else first
        last = None if r["lastAfter"][i] is None else (seen or 0) + r["lastAfter"][i]
        kind, source = data["sources"][r["source"][i]]
        rows.append({
            "type": data["types"][r["type"][i]], "clicks": r["clicks"][i],
            "referrer": data["origins"][r["origin"][i]] + r["referrer"][i],
            "landing": data["pages"][r["landing"][i]],
            "first_seen": iso(data, seen, r["firstOffset"][i]),
            "last_seen": iso(data, last, r["lastOffset"][i]), "bot": bool(r["bot"][i]),
            "source_kind": kind, "source": source,
            "landings": [{"path": data["pages"][r["landingPage"][k]], "clicks": r["landingClicks"][k]}
                         for k in range(lb, le)],
            "days": [{"date": time.strftime("%Y-%m-%d", time.gmtime((data["firstDay"] + r["day"][k]) * 86400)),
                      "clicks": r["dayClicks"][k]} for k in range(db, de)],
        })
    return rows


def rows_from_json(results):
    return [{"type": row["type"], "clicks": int(row["clicks"]) if row["clicks"].strip() else 1,
             "referrer": row["referrer"], "landing": row["landing"], "first_seen": row["first_seen"],
             "last_seen": row["last_seen"], "bot": row.get("bot", False) or row["type"] == "BOT",
             "source_kind": row["source_kind"], "source": row["source"],
             "landings": row["landings"], "days": row["days"]} for row in results["rows"]]


def category(row):
    return 2 if row["type"] == "SPM" else 1 if row["bot"] else 0


def scan(args, folder, log, extra):
    dupes = [] if "--no-dupes" in extra else ["--dupes"]
    common = [args.scan, "--quiet", "--domain", "example.com", "--types", "--https"] + dupes + extra + [log]
    report = os.path.join(folder, "report.html")
    subprocess.run(common + ["--format", "report", "--output", report], check=True, env=args.env)
    results = json.loads(subprocess.run(common + ["--format", "json", "--details"], check=True,
                                        capture_output=True, env=args.env).stdout)
    with open(report, encoding="utf-8") as f:
        return report, f.read(), results


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def check_embedded_data(args):
    """Property: on random logs, the page's data read back equals the JSON."""
    rng = random.Random(27)
    with tempfile.TemporaryDirectory() as folder:
        for round_ in range(6):
            log = os.path.join(folder, "access.log")
            with open(log, "wb") as f:
                f.write(make_log(rng, rng.randrange(0, 400)))
            extra = rng.choice([[], ["--by-site"], ["--since", "2026-11-10"], ["--no-dupes"]])
            report, page, results = scan(args, folder, log, extra)
            check("<" not in page.split('id="data">', 1)[1].split("</script>", 1)[0],
                  "a '<' stands unescaped in the page's data")
            data = page_data(page)
            check(data["status"] == results["status"], "status differs (round %d)" % round_)
            mine, theirs = rows_from_page(data), rows_from_json(results)
            if "--by-site" in extra:  # site rows carry no bot flag of their own in JSON
                for row in theirs:
                    row["bot"] = row["type"] == "BOT"
                for row in mine:
                    row["bot"] = row["bot"] or row["type"] == "BOT"
            check(len(mine) == len(theirs), "row count differs with %s" % extra)
            for a, b in zip(mine, theirs):
                check(a == b, "row differs with %s:\n%s\n%s" % (extra, a, b))


def browser(args):
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,1000",
                 "--host-resolver-rules=MAP * ~NOTFOUND", "--no-proxy-server", "--disable-background-networking",
                 "--disable-component-update", "--disable-default-apps", "--disable-sync", "--lang=en-US",
                 "--user-data-dir=" + args.profile]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def full_page_picture(driver, path):
    """The whole page, not only the window's part of it."""
    size = driver.execute_script("return [document.documentElement.scrollWidth, document.documentElement.scrollHeight]")
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "captureBeyondViewport": True, "clip": {"x": 0, "y": 0, "width": size[0], "height": size[1], "scale": 1}})
    with open(path, "wb") as f:
        f.write(base64.b64decode(shot["data"]))


def wait_ready(driver):
    WebDriverWait(driver, 10).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))


def texts(driver, selector):
    return [e.text for e in driver.find_elements(By.CSS_SELECTOR, selector)]


def shown_rows(driver):
    """The rows the page lists, in order, by their number in the data.

    Read from the rows in the document while scrolling through the list."""
    return driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const v = document.getElementById('viewport'); const found = [];
        // Each window of the list is read once the rows at its top and bottom are in the document.
        const has = (pos) => v.querySelector('.row[data-pos="' + pos + '"]');
        const total = () => parseInt(document.getElementById('spacer').style.height, 10) / 30;
        const shownAt = () => !total() || (has(Math.floor(v.scrollTop / 30)) &&
            has(Math.min(total() - 1, Math.floor((v.scrollTop + v.clientHeight - 1) / 30))));
        const step = () => {
          if (!shownAt()) { requestAnimationFrame(step); return; }
          for (const r of v.querySelectorAll('.row')) found[Number(r.dataset.pos)] = Number(r.dataset.row);
          if (v.scrollTop + v.clientHeight >= v.scrollHeight - 1) { v.scrollTop = 0; done(found); return; }
          v.scrollTop += v.clientHeight;
          requestAnimationFrame(step);
        };
        v.scrollTop = 0;
        requestAnimationFrame(step);""")


def check_opening_view(driver, results):
    """The status line, the totals and people's rows, in order, as the JSON has them; few rows in the document.

    Returns the numbers of people's rows."""
    rows = rows_from_json(results)
    check(driver.find_element(By.ID, "status").text == results["status"], "status line differs")
    totals = [0, 0, 0]
    for r in rows:
        totals[category(r)] += r["clicks"]
    for name, value in zip(["people", "crawlers", "spam"], totals):
        shown = int(driver.find_element(By.ID, "total-" + name).text.replace(",", ""))
        check(shown == value, "%s total %d, JSON %d" % (name, shown, value))
    people = [i for i, r in enumerate(rows) if category(r) == 0]
    check(driver.find_element(By.ID, "count").text == "%d of %d referrers" % (len(people), len(people)),
          "count line: " + driver.find_element(By.ID, "count").text)
    # Most clicks first, ties in the scan's order.
    check(shown_rows(driver) == sorted(people, key=lambda i: (-rows[i]["clicks"], i)), "rows or their order differ")
    check(len(driver.find_elements(By.CSS_SELECTOR, "#viewport .row")) < 60, "the list is not virtual")
    return people


def check_sample(args):
    """A report of a real server's log opens as its JSON says."""
    with tempfile.TemporaryDirectory() as folder:
        report, _, results = scan(args, folder, args.sample, [])
        driver = browser(args)
        try:
            driver.set_script_timeout(20)
            driver.get("file://" + report)
            wait_ready(driver)
            check(len(check_opening_view(driver, results)) > 50, "the sample has few people's rows")
            full_page_picture(driver, os.path.join(args.shots, "report-sample.png"))
        finally:
            driver.quit()


def check_page(args):
    rng = random.Random(2026)
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "access.log")
        with open(log, "wb") as f:
            f.write(make_log(rng, 3000))
            # Referrers that differ from others in case alone, one whose host starts another's
            # (which sorts first: "." before "/"), and a search engine's.
            for referrer in [b"HttP://Zeta.example/", b"http://zeta.example/", b"http://Alpha.example/A",
                             b"http://zeta.example.org/",
                             b"https://www.google.com/search?q=web+logs"]:
                page = b"/" + b"long-landing-page/" * 8 if referrer.endswith(b"/A") else b"/"
                f.write(b'10.0.0.2 - - [05/Nov/2026:10:00:00 +0000] "GET %s HTTP/1.1" 200 1 "%s" "Mozilla/5.0"\n'
                        % (page, referrer))
            # The row's first seen is the earlier instant, but the later line was written on an earlier day.
            for when in [b"01/Nov/2026:01:00:00 +0000", b"31/Oct/2026:23:00:00 -0500"]:
                f.write(b'10.0.0.1 - - [%s] "GET / HTTP/1.1" 200 1 "http://offsets.example/" "Mozilla/5.0"\n' % when)
        # A scan finds only http(s) referrers; results merged from JSON may hold any text.
        _, _, results = scan(args, folder, log, [])
        results["rows"][-1]["referrer"] = "javascript:window.pwned=4//"
        saved = os.path.join(folder, "edited.json")
        with open(saved, "w", encoding="utf-8") as f:
            json.dump(results, f)
        report = os.path.join(folder, "merged.html")
        subprocess.run([args.scan, "--quiet", "--merge", "--format", "report", "--output", report, saved],
                       check=True, env=args.env)
        results = json.loads(subprocess.run([args.scan, "--quiet", "--merge", "--format", "json", "--details", saved],
                                            check=True, capture_output=True, env=args.env).stdout)
        rows = rows_from_json(results)
        check(any("<script>" in r["referrer"] for r in rows), "the log has no hostile referrer to show")
        url = "file://" + report
        driver = browser(args)
        try:
            driver.set_script_timeout(20)
            driver.get(url)
            wait_ready(driver)
            people = check_opening_view(driver, results)
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=clicks]").click()
            check(shown_rows(driver) == sorted(people, key=lambda i: (rows[i]["clicks"], i)),
                  "sorting by clicks, fewest first, differs")
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=clicks]").click()
            # Crawlers and spam one click away, with their counts.
            for who, k in [("crawlers", 1), ("spam", 2)]:
                button = driver.find_element(By.CSS_SELECTOR, "button.cat[data-cat=%s]" % who)
                count = sum(1 for r in rows if category(r) == k)
                check(button.text.endswith("(%d)" % count), "%s button says %s" % (who, button.text))
            driver.find_element(By.CSS_SELECTOR, "button.cat[data-cat=all]").click()
            # Sorting by referrer, then the other way.
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=referrer]").click()
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=referrer]").click()
            listed = shown_rows(driver)
            check([rows[i]["referrer"] for i in listed]
                  == sorted((r["referrer"] for r in rows), key=lambda t: (t.lower(), t), reverse=True),
                  "sorting by referrer differs (case counts for nothing)")
            # Sorting by source, and the source's kind as a filter with counts, all who clicked among them.
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=source]").click()
            labels = {"search": "Search", "social": "Social", "ai": "AI assistant", "website": "Website",
                      "crawler": "Crawler", "spam": "Spam"}

            def source_text(r):
                return labels[r["source_kind"]] + (": " + r["source"] if r["source"] else "")
            check([source_text(rows[i]) for i in shown_rows(driver)]
                  == sorted((source_text(r) for r in rows), key=lambda t: (t.lower(), t)), "sorting by source differs")

            def first_source(d):
                # The first row's source cell, read again when the list draws its rows anew meanwhile.
                first = d.find_elements(By.CSS_SELECTOR, "#viewport .row[data-pos='0']")
                if not first:
                    return False
                cell = first[0].find_elements(By.CLASS_NAME, "cell")[3]
                return cell.get_attribute("title"), cell.text, int(first[0].get_attribute("data-row"))
            title, text, index = WebDriverWait(driver, 5, ignored_exceptions=(StaleElementReferenceException,)).until(
                first_source)
            check(title == source_text(rows[index]) and text.endswith(rows[index]["source"]),
                  "the Source column differs")
            kinds = driver.find_element(By.ID, "source-kind")
            for kind in ["search", "crawler", "spam", "website"]:
                of_kind = sorted(i for i, r in enumerate(rows) if r["source_kind"] == kind)
                check(of_kind, "the log has no row of kind " + kind)
                option = kinds.find_element(By.CSS_SELECTOR, "option[value=%s]" % kind)
                check(option.text.endswith("(%d)" % len(of_kind)), "%s option says %s" % (kind, option.text))
                option.click()
                check(sorted(shown_rows(driver)) == of_kind, "rows of source kind %s differ" % kind)
                check("source=" + kind in driver.current_url, "the source kind is not in the address")
            check("HttP://Zeta.example/" in [rows[i]["referrer"] for i in of_kind], "no mixed-case website")
            kinds.find_element(By.CSS_SELECTOR, "option[value=all]").click()
            # From people's rows, choosing crawlers shows them with all who clicked.
            driver.find_element(By.CSS_SELECTOR, "button.cat[data-cat=people]").click()
            kinds.find_element(By.CSS_SELECTOR, "option[value=crawler]").click()
            check(driver.find_element(By.CSS_SELECTOR, "button.cat[data-cat=all]").get_attribute("aria-pressed")
                  == "true", "crawler rows chosen under people stay hidden")
            kinds.find_element(By.CSS_SELECTOR, "option[value=all]").click()
            # Sorting by first seen, earliest first: by the instant, whatever the offsets the log wrote.
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=first]").click()
            driver.find_element(By.CSS_SELECTOR, "#head button[data-sort=first]").click()

            def instant(text):
                return datetime.datetime.fromisoformat(text).timestamp() if text else float("-inf")
            check(shown_rows(driver) == sorted(range(len(rows)), key=lambda i: (instant(rows[i]["first_seen"]), i)),
                  "sorting by first seen differs")
            # The search narrows as one types: in the host, in the path, across the two.
            search = driver.find_element(By.ID, "search")
            for text in ["FORUM", "example/P1", "/p1"]:
                search.send_keys(text)
                match = [i for i, r in enumerate(rows) if text.lower() in r["referrer"].lower()]
                check(driver.find_element(By.ID, "count").text == "%d of %d referrers" % (len(match), len(rows)),
                      "search count for %s: %s" % (text, driver.find_element(By.ID, "count").text))
                check(sorted(shown_rows(driver)) == match, "searched rows differ for " + text)
                search.send_keys(Keys.CONTROL, "a")
                search.send_keys(Keys.DELETE)
            check("q=" not in driver.current_url, "emptying the search left it in the address")
            # The type filter.
            driver.find_element(By.CSS_SELECTOR, "#types button[data-type=PDF]").click()
            pdf = sorted(i for i, r in enumerate(rows) if r["type"] == "PDF")
            check(sorted(shown_rows(driver)) == pdf, "type filter differs")
            driver.find_element(By.CSS_SELECTOR, "#types button[data-type=PDF]").click()
            # A date range by the address: every total follows.
            driver.get(url + "#range=2026-11-03..2026-11-09&who=all")
            driver.refresh()
            wait_ready(driver)
            in_range = [sum(d["clicks"] for d in r["days"] if "2026-11-03" <= d["date"] <= "2026-11-09")
                        for r in rows]
            totals = [0, 0, 0]
            for r, c in zip(rows, in_range):
                totals[category(r)] += c
            for name, value in zip(["people", "crawlers", "spam"], totals):
                shown = int(driver.find_element(By.ID, "total-" + name).text.replace(",", ""))
                check(shown == value, "%s total in range %d, JSON %d" % (name, shown, value))
            totals_nov_3_to_9 = totals
            check(sorted(shown_rows(driver)) == [i for i, c in enumerate(in_range) if c], "rows in range differ")
            driver.get(url + "#range=2026-10-31..2026-10-31")
            driver.refresh()
            wait_ready(driver)
            check(driver.find_element(By.ID, "total-people").text == "1", "the day before the first seen is lost")
            # A date range by dragging across the chart: it lands in the address.
            driver.get(url)
            driver.refresh()
            wait_ready(driver)
            canvas = driver.find_element(By.ID, "chart")
            width = canvas.size["width"]
            ActionChains(driver).move_to_element_with_offset(canvas, -width // 2 + 60, 0).click_and_hold() \
                .move_by_offset(width // 3, 0).release().perform()
            frm, to = driver.find_element(By.ID, "from").get_attribute("value"), \
                driver.find_element(By.ID, "to").get_attribute("value")
            check(frm and to and frm < to, "dragging chose no range")
            check(frm == "2026-10-31", "the chart's first day is %s, not the earliest day a line was written" % frm)
            check("range=%s..%s" % (frm, to) in driver.current_url, "the range is not in the address")
            people_in = sum(sum(d["clicks"] for d in r["days"] if frm <= d["date"] <= to)
                            for r in rows if category(r) == 0)
            check(int(driver.find_element(By.ID, "total-people").text.replace(",", "")) == people_in,
                  "people's total after dragging differs")
            # Typed dates: From alone keeps To as it is (empty: the logs' last day), To then keeps From;
            # a year typed a digit at a time, with pauses, is not undone.
            driver.find_element(By.ID, "all-days").click()
            last_day = max(d["date"] for r in rows for d in r["days"])
            box = driver.find_element(By.ID, "from")
            box.send_keys("1103")
            for digit in "2026":
                box.send_keys(digit)
                time.sleep(0.9)
            box.send_keys(Keys.ENTER)
            check(box.get_attribute("value") == "2026-11-03", "From after typing: " + box.get_attribute("value"))
            check("range=2026-11-03..%s" % last_day in driver.current_url, "From alone: " + driver.current_url)
            driver.find_element(By.ID, "to").send_keys("11092026", Keys.ENTER)
            check("range=2026-11-03..2026-11-09" in driver.current_url, "To after From: " + driver.current_url)
            for name, value in zip(["people", "crawlers", "spam"], totals_nov_3_to_9):
                shown = int(driver.find_element(By.ID, "total-" + name).text.replace(",", ""))
                check(shown == value, "%s total in typed range %d, JSON %d" % (name, shown, value))
            # (Typing left the cursor on the year: each part emptied, to the month.)
            driver.find_element(By.ID, "to").send_keys(Keys.DELETE, Keys.LEFT, Keys.DELETE, Keys.LEFT, Keys.DELETE)
            WebDriverWait(driver, 3).until(lambda d: "range=2026-11-03..%s" % last_day in d.current_url,
                                           "To emptied: the range is not up to " + last_day)
            # A row's details, opened by keyboard.
            driver.find_element(By.ID, "all-days").click()
            viewport = driver.find_element(By.ID, "viewport")
            viewport.send_keys(Keys.ARROW_DOWN, Keys.ENTER)
            opened = int(driver.execute_script("return new URLSearchParams(location.hash.slice(1)).get('open')"))
            check(opened == sorted(people, key=lambda i: (-rows[i]["clicks"], i))[1], "Enter opened another row")
            check(driver.find_element(By.ID, "details-referrer").text == rows[opened]["referrer"].strip(),
                  "details show another referrer")
            landings = [[c.text for c in tr.find_elements(By.TAG_NAME, "td")]
                        for tr in driver.find_elements(By.CSS_SELECTOR, "#details-landings tbody tr")]
            check(landings == [[x["path"], str(x["clicks"])] for x in rows[opened]["landings"]], "landings differ")
            days = [[c.text for c in tr.find_elements(By.TAG_NAME, "td")][:2]
                    for tr in driver.find_elements(By.CSS_SELECTOR, "#details-days tbody tr")]
            check(days == [[x["date"], str(x["clicks"])] for x in rows[opened]["days"]], "days differ")
            driver.save_screenshot(os.path.join(args.shots, "report-details.png"))
            driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
            check(not driver.find_element(By.ID, "details").is_displayed(), "Escape left the details open")
            # Sites.
            driver.find_element(By.CSS_SELECTOR, "button.view[data-view=sites]").click()
            check(driver.find_element(By.ID, "count").text.endswith(" sites"), "no sites table")
            # Hostile referrers: shown as text, nothing ran, only http(s) links.
            driver.get(url + "#who=all&q=evil")
            driver.refresh()
            wait_ready(driver)
            check(driver.execute_script("return window.pwned === undefined"), "text from the log ran")
            check(not driver.find_elements(By.CSS_SELECTOR, "img, iframe, object, embed"), "log text became markup")
            shown_text = " ".join(texts(driver, "#viewport .row"))
            check("<script>window.pwned=1</script>" in shown_text, "a hostile referrer is not shown as text")
            hrefs = [a.get_attribute("href") for a in driver.find_elements(By.CSS_SELECTOR, "a")]
            check(all(h.startswith(("http://", "https://")) for h in hrefs), "a link that is no http(s)")
            check(all(a.get_attribute("rel") == "noreferrer noopener"
                      for a in driver.find_elements(By.CSS_SELECTOR, "a")), "a link without rel")
            driver.get(url + "#who=all&q=javascript")
            driver.refresh()
            wait_ready(driver)
            check(driver.find_element(By.ID, "count").text.startswith("1 of"), "the javascript: referrer is gone")
            check(not driver.find_elements(By.CSS_SELECTOR, "#viewport a"), "a javascript: referrer is a link")
            # The policy: no inline code but by hash, and nothing refused of the page's own.
            policy = driver.find_element(By.CSS_SELECTOR, "meta[http-equiv=Content-Security-Policy]") \
                .get_attribute("content")
            check("default-src 'none'" in policy and "unsafe" not in policy and "script-src 'sha256-" in policy,
                  "policy: " + policy)
            refused = [e["message"] for e in driver.get_log("browser") if "Content Security Policy" in e["message"]
                       or "Refused" in e["message"]]
            check(not refused, "refused: %s" % refused)
            # No request but the file itself.
            requests = []
            for entry in driver.get_log("performance"):
                message = json.loads(entry["message"])["message"]
                # The browser's own pages (its new tab) ask for chrome:// parts: only the report's count.
                if message["method"] == "Network.requestWillBeSent" \
                        and message["params"].get("documentURL", "").startswith("file://"):
                    requests.append(message["params"]["request"]["url"])
            # (The date fields' calendar icons are the browser's own data: pictures, fetched from nowhere.)
            elsewhere = [u for u in requests if not u.startswith(("file://" + report, "data:image/svg+xml"))]
            check(requests and not elsewhere, "the page asked for %s" % elsewhere)
            # Headings keep to one line, also in a narrow window beside a long landing page.
            driver.get(url + "#who=all&open=%d" % next(i for i, r in enumerate(rows)
                                                       if r["referrer"] == "http://Alpha.example/A"))
            driver.refresh()
            wait_ready(driver)
            driver.set_window_size(400, 900)
            wrapped = driver.execute_script("""
                return [...document.querySelectorAll('#details th, #head button')].filter((e) => e.offsetWidth)
                  .map((e) => { const r = document.createRange(); r.selectNodeContents(e);
                                return [e.textContent, new Set([...r.getClientRects()].map((x) => x.top)).size]; })
                  .filter(([text, lines]) => text && lines !== 1);""")
            driver.set_window_size(1280, 1000)
            check(not wrapped, "headings that wrap: %s" % wrapped)
            # Pictures to look at: light, dark, and people's rows.
            driver.get(url + "#theme=light")
            driver.refresh()
            wait_ready(driver)
            full_page_picture(driver, os.path.join(args.shots, "report-light.png"))
            driver.get(url + "#theme=dark&who=all&sort=referrer.asc")
            driver.refresh()
            wait_ready(driver)
            full_page_picture(driver, os.path.join(args.shots, "report-dark.png"))
            # A system that prefers dark colours gets them; the switch overrides it.
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                   {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
            driver.get(url)
            driver.refresh()
            wait_ready(driver)

            def background():
                return driver.execute_script("return getComputedStyle(document.body).backgroundColor")
            check(background() == "rgb(21, 25, 30)", "no dark colours for a dark system: " + background())
            theme = driver.find_element(By.ID, "theme")
            theme.click()  # auto -> dark
            theme.click()  # dark -> light
            check(theme.text == "Theme: light" and background() == "rgb(255, 255, 255)",
                  "the switch gave %s and %s" % (theme.text, background()))
            check("theme=light" in driver.current_url, "the theme is not in the address")
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
            driver.get(url + "#view=sites&range=2026-11-10..2026-11-20")
            driver.refresh()
            wait_ready(driver)
            full_page_picture(driver, os.path.join(args.shots, "report-sites.png"))
            driver.execute_script("window.dispatchEvent(new Event('beforeprint'))")
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
            full_page_picture(driver, os.path.join(args.shots, "report-print.png"))
        finally:
            driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scan", required=True)
    parser.add_argument("--shots")
    parser.add_argument("--sample", help="a real server's access log to open a report of")
    parser.add_argument("--data-only", action="store_true", help="the page's data against the JSON, no browser")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as home:
        # The scanner reads no user settings but these, and Chromium keeps its profile here.
        args.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"))
        args.profile = os.path.join(home, "chromium")
        if args.data_only:
            check_embedded_data(args)
            print("the report's data equals the JSON's")
            return
        os.makedirs(args.shots, exist_ok=True)
        check_page(args)
        if args.sample:
            check_sample(args)
    print("report page checks passed; pictures in", args.shots)


if __name__ == "__main__":
    try:
        main()
    except AssertionError as failure:
        print("FAIL:", failure, file=sys.stderr)
        sys.exit(1)
