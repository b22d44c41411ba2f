#!/usr/bin/python3
"""How long the overview of many stations takes to load and draw in headless
Chromium: from the start of navigation to the frame after the table went in.

  dashboard_load.py DASHBOARDSERVER [stations=2000] [runs=7]
"""
import os
import statistics
import subprocess
import sys

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def main():
    server_program = sys.argv[1]
    stations = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    server = subprocess.Popen([server_program, str(stations)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              text=True)
    try:
        line = server.stdout.readline()
        port = int(line.split()[-1])
        options = webdriver.ChromeOptions()
        for arg in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu',
                    '--window-size=1280,900'):
            options.add_argument(arg)
        options.binary_location = os.environ.get('CHROMIUM', '/usr/bin/chromium')
        driver = webdriver.Chrome(service=webdriver.chrome.service.Service('/usr/bin/chromedriver'),
                                  options=options)
        try:
            times = []
            first = None
            for run in range(runs + 1):
                driver.get('http://localhost:%d/' % port)
                rendered = WebDriverWait(driver, 30, poll_frequency=0.02).until(
                    lambda d: d.find_element(By.TAG_NAME, 'body').get_attribute('data-rendered'))
                rows = len(driver.find_elements(By.CSS_SELECTOR, '#stations tbody tr'))
                if rows != stations:
                    sys.exit('only %d of %d rows' % (rows, stations))
                if run == 0:  # the browser's and the server's caches start cold
                    first = int(rendered)
                else:
                    times.append(int(rendered))
            print('overview of %d stations: median %d ms, min %d ms, max %d ms to load and draw (%d runs); '
                  'the first, with cold caches, %d ms' % (stations, statistics.median(times), min(times), max(times),
                                                          runs, first))
        finally:
            driver.quit()
    finally:
        server.stdin.close()
        server.wait(10)


if __name__ == '__main__':
    main()
