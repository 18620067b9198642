"""Times of a report in headless Chromium, for bench/run.sh.

    report_in_chromium.py REPORT.html SEARCH_TEXT

Prints the seconds from asking for the page until its status line shows
(the page's script has then read all its data and drawn the list), and the
seconds the search box takes to narrow the rows for SEARCH_TEXT typed at once
(counted inside the page, from the input to the list redrawn). Loads from
file:// with every host name unresolvable: nothing leaves the machine.
"""
import os
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By


def main():
    report, text = os.path.abspath(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory() as profile:
        options = Options()
        options.binary_location = "/usr/bin/chromium"
        for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,1000",
                     "--host-resolver-rules=MAP * ~NOTFOUND", "--user-data-dir=" + profile]:
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            driver.set_page_load_timeout(120)
            start = time.monotonic()
            driver.get("file://" + report)
            while not driver.find_element(By.ID, "status").text:
                time.sleep(0.01)
            shown = time.monotonic() - start
            searched = driver.execute_script("""
                const box = document.getElementById('search');
                const start = performance.now();
                box.value = arguments[0];
                box.dispatchEvent(new Event('input'));
                return (performance.now() - start) / 1000;""", text)
            count = driver.find_element(By.ID, "count").text
        finally:
            driver.quit()
    print("%.3f %.3f %s" % (shown, searched, count))


if __name__ == "__main__":
    main()
