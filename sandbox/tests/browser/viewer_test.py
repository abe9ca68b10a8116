#!/usr/bin/env python3
"""The sandbox viewer in a real browser (headless Chromium through chromedriver).

Starts lumo-sandbox on 127.0.0.1 with a free port (or uses one already running there, such as
the Windows build under Wine, with --connect-to), opens the viewer, drives the library
through the lumo tool and checks what the page shows: a song link and a song list with their
decrypted parameters, the replay of an exchange, a fault rule added through the form that the
next call meets, a session token that appears nowhere in the page, its exports or its curl
command, the filters, pause and clear, a task's pages as one group, the layout at 1024, 1280 and
1920 px, and that a page of another local origin (no-cors fetches, a form posting text/plain)
changes nothing. All of it under the page's Content-Security-Policy. Saves screenshots.

The exports against tools this project did not write: requests with awkward targets and headers
are sent over a socket of their own, and each one's "copy as curl" command, run by bash, must
make the sandbox receive the same request and answer the same; the HAR file must pass the HAR
1.2 JSON schemas of npm's har-schema (python3-jsonschema, formats checked with python3-rfc3987).

Every wait is bounded; all traffic goes to 127.0.0.1 and the browser resolves no host name.
"""
import argparse
import http.server
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

import jsonschema
from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

WAIT_SECONDS = 20
SECRET = 'sbx-secret-0b7e4c19d2'
ORDINARY_TOKEN = 'sbx-ordinary-7f3a9c21'
BIG_TOKEN = 'sbx-big-2c81e4d0'


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def wait_for_port(port, process, what):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(what + ' ended early')
        try:
            socket.create_connection(('127.0.0.1', port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(what + ' did not listen on 127.0.0.1:%d' % port)


def har_validator(folder):
    """A validator of HAR 1.2 files made of npm's har-schema, in `folder` (its lib/), that checks
    the formats as well: an address that is not a valid URI is refused."""
    schemas = {}
    for name in os.listdir(folder):
        if name.endswith('.json'):
            with open(os.path.join(folder, name), encoding='utf-8') as file:
                schemas[name] = json.load(file)
    checker = jsonschema.FormatChecker()
    assert 'uri' in checker.checkers, 'python3-rfc3987 is missing: addresses would go unchecked'
    resolver = jsonschema.RefResolver('har.json', schemas['har.json'], store=schemas)
    return jsonschema.Draft6Validator(schemas['har.json'], resolver=resolver,
                                      format_checker=checker)


def raw_exchange(port, target, headers):
    """Sends GET `target` with `headers` as they are, bytes the client writes itself, on a new
    connection to the sandbox, and returns the answer's status, Content-Type and body."""
    head = ['GET %s HTTP/1.1' % target]
    head += [name + ':' + (' ' + value if value else '') for name, value in headers]
    with socket.create_connection(('127.0.0.1', port), timeout=WAIT_SECONDS) as connection:
        connection.sendall(('\r\n'.join(head) + '\r\n\r\n').encode())
        answer = b''
        while True:
            data = connection.recv(65536)
            if not data:
                break
            answer += data
    return parse_answer(answer)


def parse_answer(answer):
    """(status, Content-Type, body) of an HTTP answer's bytes."""
    head, _, body = answer.partition(b'\r\n\r\n')
    lines = head.decode('latin-1').split('\r\n')
    fields = dict(line.split(':', 1) for line in lines[1:])
    content_type = {name.lower(): value.strip()
                    for name, value in fields.items()}.get('content-type')
    return int(lines[0].split()[1]), content_type, body


# A plain call whose answer depends on its query only, and the headers the library sends with it.
SUGGEST = ('/v1/restserver/lumo?method=norda.lumo.search.catalogSug&format=json&from=qxpc'
           '&version=1.0.0&version_d=10.1.1.1&query=')
HOST = ('Host', 'api.lumo.example')
AGENT = ('User-Agent', 'qxpc_1.0.0')
CLOSE = ('Connection', 'close')

# Requests whose "copy as curl" must reach the sandbox as they did: (what it is, target, headers).
# Raw characters the server refuses to read in a target (a newline, a space) are escaped.
AWKWARD_REQUESTS = (
    ('braces and brackets', SUGGEST + '{a,b}[1-2]', [HOST, AGENT, CLOSE]),
    ('braces and brackets escaped', SUGGEST + '%7Ba%2Cb%7D%5B1-2%5D', [HOST, AGENT, CLOSE]),
    ('dot segments', SUGGEST.replace('/lumo?', '/x/../lumo?') + 'moon', [HOST, AGENT, CLOSE]),
    ('a # in the query', SUGGEST + 'moon#sun', [HOST, AGENT, CLOSE]),
    ('quotes', SUGGEST + '\'"%22%27', [HOST, AGENT, CLOSE]),
    ('$() and backticks', SUGGEST + '$(exit)`exit`%60', [HOST, AGENT, CLOSE]),
    ('a newline escaped', SUGGEST + 'a%0Ab%0D%0A', [HOST, AGENT, CLOSE]),
    ('non-ASCII, raw and escaped', SUGGEST + '月%E6%9C%88',
     [HOST, AGENT, CLOSE, ('X-Note', 'é 中 \'$(exit)\'')]),
    ('a % that starts no escape', SUGGEST + 'moon%zz', [HOST, AGENT, CLOSE]),
    ('an empty header', SUGGEST + 'moon', [HOST, AGENT, CLOSE, ('X-Empty', '')]),
    ('no user agent', SUGGEST + 'moon', [HOST, CLOSE]),
    ('Host with its default port', SUGGEST + 'moon',
     [('Host', 'API.lumo.example:80'), AGENT, CLOSE]),
    ('a Host the browser refuses', SUGGEST + 'moon',
     [('Host', 'api.lumo.example:8o'), AGENT, CLOSE]),
)


def start_sandbox(binary):
    process = subprocess.Popen([binary, '--port', '0', '--db', ':memory:'],
                               stdout=subprocess.PIPE, text=True)
    deadline = time.monotonic() + WAIT_SECONDS
    lines = []
    while time.monotonic() < deadline and len(lines) < 2:
        line = process.stdout.readline()
        if not line:
            break
        lines.append(line.strip())
    match = re.match(r'^lumo-sandbox listening on http://127\.0\.0\.1:(\d+)$', lines[0] if lines else '')
    if not match or len(lines) < 2:
        process.kill()
        raise RuntimeError('lumo-sandbox did not start: %r' % lines)
    port = int(match.group(1))
    assert lines[1] == 'viewer: http://127.0.0.1:%d/_sandbox/' % port, lines[1]
    return process, port


def running_sandbox_port(address):
    """The port of the sandbox --connect-to names: a loopback literal with a port."""
    match = re.match(r'^127\.0\.0\.1:(\d+)$', address)
    if not match:
        raise SystemExit('--connect-to takes 127.0.0.1:PORT, not %r' % address)
    return int(match.group(1))


# A page of another local origin that tries what any page may: no-cors fetches and a form that
# posts text/plain (its one field makes the body a valid rule).
ATTACK_PAGE = """<!DOCTYPE html><html><head><title>other page</title></head><body>
<form id="form" method="post" enctype="text/plain" action="http://127.0.0.1:%(port)d/_sandbox/rules">
<input name='{"method":"*","action":"verbatim","body":"' value='"}'></form>
<script>
const base = 'http://127.0.0.1:%(port)d/_sandbox/';
Promise.allSettled([
  fetch(base + 'reset', {method: 'POST', mode: 'no-cors'}),
  fetch(base + 'rules', {method: 'POST', mode: 'no-cors', body: '{"method":"*","action":"html502"}'}),
  fetch(base + 'replay', {method: 'POST', mode: 'no-cors', body: '{"seq":%(seq)d}'}),
]).then(() => document.getElementById('form').submit());
</script></body></html>"""


def serve_attack_page(sandbox_port, seq):
    """Serves ATTACK_PAGE, which asks for a replay of exchange `seq`, on another port of
    127.0.0.1; returns the server and the page's URL."""
    page = (ATTACK_PAGE % {'port': sandbox_port, 'seq': seq}).encode()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):  # pylint: disable=invalid-name
            self.send_response(200)
            self.send_header('Content-Type', 'text/html; charset=utf-8')
            self.send_header('Content-Length', str(len(page)))
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *args):  # pylint: disable=arguments-differ
            pass

    # Threads of their own: a connection the browser opens ahead and leaves idle must not hold
    # up the page or the shutdown.
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, 'http://127.0.0.1:%d/' % server.server_address[1]


class Browser:
    """Chromium started here with its DevTools port on 127.0.0.1, and chromedriver attached to
    it, so that every connection of the two names an IP literal."""

    def __init__(self, chromium, chromedriver):
        self.profile = tempfile.mkdtemp(prefix='lumo-viewer-')
        devtools_port = free_port()
        self.chromium = subprocess.Popen([
            chromium, '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
            '--no-first-run', '--no-default-browser-check', '--disable-background-networking',
            '--disable-component-update', '--disable-sync', '--disable-extensions',
            '--disable-default-apps', '--metrics-recording-only', '--mute-audio',
            '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1',
            '--window-size=1600,1200', '--force-device-scale-factor=1', '--lang=en-US',
            '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=%d' % devtools_port,
            '--user-data-dir=' + self.profile, 'about:blank'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(devtools_port, self.chromium, 'chromium')
        driver_port = free_port()
        self.chromedriver = subprocess.Popen(
            [chromedriver, '--port=%d' % driver_port, '--allowed-ips=127.0.0.1'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(driver_port, self.chromedriver, 'chromedriver')
        options = webdriver.ChromeOptions()
        options.debugger_address = '127.0.0.1:%d' % devtools_port
        self.driver = webdriver.Remote(command_executor='http://127.0.0.1:%d' % driver_port,
                                       options=options)
        self.driver.set_page_load_timeout(WAIT_SECONDS)
        self.driver.set_script_timeout(WAIT_SECONDS)

    def close(self):
        try:
            self.driver.quit()
        except Exception:  # pylint: disable=broad-except
            pass
        for process in (self.chromedriver, self.chromium):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)


class ViewerCheck:
    def __init__(self, args, port, driver):
        self.args = args
        self.port = port
        self.driver = driver
        # The page replaces the detail pane whenever an exchange is opened, so an element read
        # while that happens is stale: the wait looks again.
        self.wait = WebDriverWait(driver, WAIT_SECONDS,
                                  ignored_exceptions=(StaleElementReferenceException,))

    def lumo(self, *command, token=ORDINARY_TOKEN):
        env = {key: value for key, value in os.environ.items() if not key.startswith('LUMO_')}
        return subprocess.run(
            [self.args.lumo, '--connect-to', '127.0.0.1:%d' % self.port, '--token', token,
             '--timeout', '10', *command],
            env=env, capture_output=True, text=True, timeout=60, check=False)

    def inspect(self, path):
        """GET of an inspection endpoint, straight from here (a tool, not a page)."""
        url = 'http://127.0.0.1:%d%s' % (self.port, path)
        with urllib.request.urlopen(url, timeout=WAIT_SECONDS) as answer:
            return answer.headers, json.loads(answer.read())

    def other_page_is_refused(self):
        """Another local origin's no-cors fetches and form post change nothing."""
        rows = len(self.driver.find_elements(By.CSS_SELECTOR, '#log-rows tr'))
        entries = self.inspect('/_sandbox/log')[1]['entries']
        replays = sum(1 for entry in entries if entry['replay_of'])
        server, url = serve_attack_page(self.port, entries[-1]['seq'])
        try:
            self.driver.get(url)
            self.wait.until(lambda d: '/_sandbox/rules' in d.current_url)
            self.wait.until(lambda d: '43005' in d.find_element(By.TAG_NAME, 'body').text)
        finally:
            server.shutdown()
            server.server_close()
        assert self.inspect('/_sandbox/rules')[1]['rules'] == [], 'another page added a rule'
        entries = self.inspect('/_sandbox/log')[1]['entries']
        assert len(entries) >= rows, 'another page reset the log'
        assert sum(1 for entry in entries if entry['replay_of']) == replays, 'another page replayed'

    def row(self, method, text=''):
        """The newest log row of `method` whose text holds `text`, once it is there."""
        def find(driver):
            for row in driver.find_elements(By.CSS_SELECTOR, '#log-rows tr'):
                cells = row.find_elements(By.TAG_NAME, 'td')
                if len(cells) > 2 and cells[2].text.startswith(method) and text in row.text:
                    return row
            return False
        try:
            return self.wait.until(find)
        except TimeoutException:
            rows = [r.text for r in self.driver.find_elements(By.CSS_SELECTOR, '#log-rows tr')]
            raise AssertionError('no row of %s with %r; rows: %r' % (method, text, rows))

    def open(self, row, text):
        """Opens the exchange of `row` and waits until the pane shows it, its answer holding `text`."""
        title = '#%s ' % row.get_attribute('data-seq')
        row.click()
        self.wait.until(lambda d: d.find_element(By.ID, 'detail-title').text.startswith(title)
                        and text in d.find_element(By.ID, 'answer').text)

    def visible_rows(self):
        return [r for r in self.driver.find_elements(By.CSS_SELECTOR, '#log-rows tr') if r.is_displayed()]

    def set_text_filter(self, text):
        box = self.driver.find_element(By.ID, 'filter-text')
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys(Keys.BACKSPACE, text)

    def layout(self, width):
        """At `width` px nothing runs over sideways and the opened exchange is in view."""
        self.driver.set_window_size(width, 1200)
        self.wait.until(lambda d: d.execute_script('return window.innerWidth') == width)
        driver = self.driver
        driver.execute_script('scrollTo(0, 0); document.getElementById("detail").replaceChildren()')
        self.open(self.row('ugcdiy.getBaseInfo', 'lin.mei'), '"error_code": 22000')
        overflow, top, height = self.driver.execute_script(
            'const root = document.documentElement, log = document.querySelector("#log-section .scroll");'
            'return [Math.max(root.scrollWidth - root.clientWidth, log.scrollWidth - log.clientWidth),'
            ' document.getElementById("detail-section").getBoundingClientRect().top, innerHeight];')
        assert overflow <= 0, '%d px run over at %d px' % (overflow, width)
        # A row's user cell starts its text where the time cell does, and the filter box shows
        # its whole placeholder.
        tops, hint, room = self.driver.execute_script(
            'const row = document.querySelector("#log-rows tr"),'
            ' box = document.getElementById("filter-text"), style = getComputedStyle(box),'
            ' context = document.createElement("canvas").getContext("2d");'
            'context.font = style.font;'
            'return [[row.querySelector("td.time"), row.querySelector("td.user")].map((cell) =>'
            '   cell.getBoundingClientRect().top + parseFloat(getComputedStyle(cell).paddingTop)),'
            ' context.measureText(box.placeholder).width,'
            ' box.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight)];')
        assert tops[0] == tops[1], 'the time and user cells start at %r px' % tops
        assert hint <= room, 'the placeholder takes %.1f px of %.1f' % (hint, room)
        assert -1 < top < height, 'the exchange is out of view at %d px: %r' % (width, (top, height))
        # The picture from the top: the log, and the exchange below it.
        driver.execute_script('scrollTo(0, 0)')
        shot = os.path.join(self.args.out, 'viewer-%d.png' % width)
        driver.save_screenshot(shot)
        return shot

    def last_seq(self):
        return self.inspect('/_sandbox/log?since=18446744073709551615')[1]['last_seq']

    def logged(self, seq):
        """Exchange `seq` as the viewer has it: its request, as the sandbox received it, and
        what it answered."""
        return self.inspect('/_sandbox/exchange?seq=%d' % seq)[1]['entry']

    def curl_reproduces(self):
        """Each awkward request, sent raw, then its copied curl command run by bash: the sandbox
        receives the same request (target and headers) and answers the same."""
        driver = self.driver
        for name, target, headers in AWKWARD_REQUESTS:
            status, content_type, body = raw_exchange(self.port, target, headers)
            seq = self.last_seq()
            sent = self.logged(seq)
            assert sent['target'] == target and sent['answer_type'] == content_type, (name, sent)
            self.open(self.wait.until(lambda d, s=seq: d.find_element(
                By.CSS_SELECTOR, '#log-rows tr[data-seq="%d"]' % s)), '')
            driver.find_element(By.ID, 'detail-curl').click()
            command = self.wait.until(
                lambda d: d.find_element(By.ID, 'curl').get_property('textContent'))
            note = driver.find_element(By.ID, 'curl-note')
            refused_host = ('Host', 'api.lumo.example:8o') in headers
            assert note.is_displayed() == refused_host, (name, note.text)
            if refused_host:
                assert 'api.lumo.example:8o' in note.text, note.text
                driver.execute_script('arguments[0].scrollIntoView()',
                                      driver.find_element(By.ID, 'detail-section'))
                driver.save_screenshot(os.path.join(self.args.out, 'viewer-curl-note.png'))
            pasted = command + ' --silent --show-error --include --max-time 10\n'
            result = subprocess.run(['bash', '--noprofile', '--norc'], input=pasted.encode(),
                                    capture_output=True, timeout=30, check=False)
            assert result.returncode == 0, (name, command, result.stderr)
            again = self.inspect('/_sandbox/log?since=%d' % seq)[1]['entries']
            assert len(again) == 1, (name, command, again)
            resent = self.logged(again[0]['seq'])
            assert (resent['verb'], resent['target']) == (sent['verb'], sent['target']), \
                (name, command, resent)
            assert sorted(resent['headers']) == sorted(sent['headers']), \
                (name, command, resent['headers'])
            assert parse_answer(result.stdout) == (status, content_type, body), \
                (name, command, result.stdout)

    def cut_json_answer(self):
        """An exchange whose JSON answer is longer than the log keeps."""
        rule = json.dumps({'method': 'norda.lumo.search.catalogSug', 'action': 'verbatim',
                           'count': 1,
                           'body': json.dumps({'error_code': 22000, 'padding': 'x' * 20000})})
        request = urllib.request.Request(
            'http://127.0.0.1:%d/_sandbox/rules' % self.port, data=rule.encode(), method='POST',
            headers={'Content-Type': 'application/json', 'X-Sandbox-Viewer': '1'})
        urllib.request.urlopen(request, timeout=WAIT_SECONDS).close()
        status, content_type, _ = raw_exchange(self.port, SUGGEST + 'moon', [HOST, AGENT, CLOSE])
        assert status == 200 and content_type.startswith('application/json'), content_type
        seq = self.last_seq()
        assert self.logged(seq)['answer_cut'], 'the log kept the whole answer'
        self.row('search.catalogSug', 'moon')

    def check_har(self, har):
        """The HAR passes the HAR 1.2 schemas, its addresses have no fragment, and each answer's
        type is the one the sandbox sent."""
        validator = har_validator(self.args.har_schema)
        for url in ('http://api.lumo.example:8o/', 'http://api.lumo.example/?q={a,b}[1-2]'):
            bad = json.loads(json.dumps(har))
            bad['log']['entries'][0]['request']['url'] = url
            assert not validator.is_valid(bad), 'the schema check let %s through' % url
        errors = ['%s: %s' % (list(error.absolute_path), error.message)
                  for error in validator.iter_errors(har)]
        assert not errors, errors[:10]
        for entry in har['log']['entries']:
            seq = int(re.match(r'#(\d+)', entry['comment']).group(1))
            logged = self.logged(seq)
            assert '#' not in entry['request']['url'], entry['request']['url']
            assert entry['response']['content']['mimeType'] == logged['answer_type'], \
                (seq, entry['response'])
        types = {entry['response']['content']['mimeType'] for entry in har['log']['entries']
                 if entry['response']['content']['size'] > len(entry['response']['content']['text'])}
        assert 'application/json; charset=utf-8' in types, types

    def exports(self):
        """Both exports download through a Blob URL under the page's policy, tokens masked."""
        folder = os.path.join(self.args.out, 'downloads')
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        executor = self.driver.command_executor
        executor._commands['cdp'] = ('POST', '/session/$sessionId/goog/cdp/execute')  # pylint: disable=protected-access
        self.driver.execute('cdp', {'cmd': 'Browser.setDownloadBehavior',
                                    'params': {'behavior': 'allow', 'downloadPath': folder}})
        rows = len(self.visible_rows())
        texts = {}
        for button, ending in (('export-jsonl', '.jsonl'), ('export-har', '.har')):
            self.driver.find_element(By.ID, button).click()
            name = self.wait.until(lambda d, e=ending: next(
                (n for n in os.listdir(folder) if n.endswith(e)), False))
            with open(os.path.join(folder, name), encoding='utf-8') as file:
                texts[ending] = file.read()
            assert SECRET not in texts[ending], 'the token is in the export ' + ending
        lines = [json.loads(line) for line in texts['.jsonl'].splitlines()]
        assert len(lines) == rows and all('answer' in line for line in lines), len(lines)
        self.check_har(json.loads(texts['.har']))
        har = json.loads(texts['.har'])['log']
        assert har['version'] == '1.2' and len(har['entries']) == rows, len(har['entries'])
        first = har['entries'][0]
        assert first['request']['url'].startswith('http://api.lumo.example/'), first['request']
        assert '22000' in first['response']['content']['text'] and first['response']['status'] == 200

    def replay(self, row):
        """The opened exchange sent again: its new row is labelled, selected and opened, and
        links back to the one it replays."""
        driver = self.driver
        seq = row.get_attribute('data-seq')
        label = 'replay of #' + seq
        driver.find_element(By.ID, 'detail-replay').click()
        title = self.wait.until(lambda d: (lambda t: label in t and t)(d.find_element(By.ID, 'detail-title').text))
        new_seq = re.match(r'#(\d+) ', title).group(1)
        assert int(new_seq) > int(seq), title
        self.wait.until(lambda d: '"error_code": 22000' in d.find_element(By.ID, 'answer').text)
        status = driver.find_element(By.ID, 'replay-status').text
        assert status == '#%s sent again as #%s' % (seq, new_seq), status
        selected = driver.find_elements(By.CSS_SELECTOR, '#log-rows tr.selected')
        assert len(selected) == 1 and selected[0].get_attribute('data-seq') == new_seq, \
            [r.text for r in selected]
        assert label in selected[0].text and 'encrypted' in selected[0].text, selected[0].text
        logged = [e for e in self.inspect('/_sandbox/log')[1]['entries'] if e['seq'] == int(new_seq)]
        assert logged and logged[0]['replay_of'] == int(seq), logged
        driver.save_screenshot(os.path.join(self.args.out, 'viewer-replay.png'))
        driver.find_element(By.ID, 'replay-original').click()
        self.wait.until(lambda d: d.find_element(By.ID, 'detail-title').text.startswith('#%s ' % seq))

    def copy_as_curl(self, row):
        """The opened exchange as a curl command that reaches this sandbox, tokens masked."""
        self.open(row, '40011')
        self.driver.find_element(By.ID, 'detail-curl').click()
        command = self.wait.until(lambda d: d.find_element(By.ID, 'curl').text)
        assert SECRET not in command and 'kwtok=***' in command, command
        assert ("--connect-to 'api.lumo.example:80:127.0.0.1:%d'" % self.port) in command, command
        result = subprocess.run(['bash', '-c', command + ' -s --max-time 10'], capture_output=True,
                                text=True, timeout=30, check=False)
        assert '"error_code":40011' in result.stdout.replace(' ', ''), (result.stdout, result.stderr)

    def pause_and_clear(self):
        """Paused, rows are counted but not shown until resumed; clear empties only the page."""
        driver = self.driver
        driver.find_element(By.ID, 'log-pause').click()
        assert self.lumo('song', 'link', '100003').returncode == 0
        self.wait.until(lambda d: d.find_element(By.ID, 'log-new').text == '1 new')
        assert '100003' not in driver.find_element(By.ID, 'log-rows').text
        driver.find_element(By.ID, 'log-pause').click()
        self.row('song.getSongLink', 'songid=100003')
        assert not driver.find_element(By.ID, 'log-new').is_displayed()
        driver.find_element(By.ID, 'log-clear').click()
        assert not driver.find_elements(By.CSS_SELECTOR, '#log-rows tr')
        assert self.inspect('/_sandbox/log')[1]['entries'], 'clear emptied the sandbox\'s log'
        assert self.lumo('song', 'link', '100004').returncode == 0
        self.row('song.getSongLink', 'songid=100004')
        assert len(driver.find_elements(By.CSS_SELECTOR, '#log-rows tr')) == 1

    def task_pages(self):
        """A task's pages are one group, its count on the newest; opening shows the others."""
        driver = self.driver
        result = self.lumo('fav', 'list', '--all', '--page', '45', token=BIG_TOKEN)
        assert result.returncode == 0, result.stderr
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, '#log-rows tr.group .pages').text == '▸ 3 pages')
        pages = driver.find_elements(By.CSS_SELECTOR, '#log-rows tr.page')
        assert len(pages) == 2 and not any(p.is_displayed() for p in pages)
        assert 'pn=2350' in driver.find_element(By.CSS_SELECTOR, '#log-rows tr.group').text
        driver.find_element(By.CSS_SELECTOR, '#log-rows tr.group .pages').click()
        pages = driver.find_elements(By.CSS_SELECTOR, '#log-rows tr.page')
        assert all(p.is_displayed() for p in pages) and 'pn=2250' in pages[-1].text, [p.text for p in pages]

    def run(self):
        driver = self.driver
        viewer = 'http://127.0.0.1:%d/_sandbox/' % self.port
        driver.get(viewer)
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, 'live'), 'live'))
        self.wait.until(lambda d: 'lin.mei' in d.find_element(By.ID, 'state').text)
        # Everything below runs under the page's policy: no inline script, style or handler.
        policy = self.inspect('/_sandbox/state')[0]['Content-Security-Policy']
        assert "script-src 'self'" in policy and "frame-ancestors 'none'" in policy, policy

        # A plain call and an encrypted one, shown with their decrypted parameters.
        result = self.lumo('song', 'link', '100001')
        assert result.returncode == 0, result.stderr
        link = self.row('song.getSongLink', 'songid=100001')
        assert 'plain' in link.text, link.text
        result = self.lumo('list', 'show', '300151')
        assert result.returncode == 0, result.stderr
        songs = self.row('ugcdiy.getBaseInfo', 'list_id=300151')
        assert 'encrypted' in songs.text and 'lin.mei' in songs.text, songs.text

        # One exchange in full, its answer pretty-printed.
        self.open(songs, '"error_code": 22000')
        detail = driver.find_element(By.ID, 'detail').text
        assert 'offset' in detail and 'KWTOK=***' in detail, detail
        driver.save_screenshot(os.path.join(self.args.out, 'viewer-song-list.png'))
        # Sent again from the page: a signed address, minutes younger than its timestamp's limit.
        self.replay(songs)

        # A fault rule through the form: the next call meets it, and after removal it is gone.
        driver.find_element(By.ID, 'rule-method').send_keys('norda.lumo.song.getSongLink')
        Select(driver.find_element(By.ID, 'rule-action')).select_by_value('html502')
        driver.find_element(By.ID, 'rule-add').click()
        self.wait.until(lambda d: 'html502' in d.find_element(By.ID, 'rules-rows').text)
        result = self.lumo('song', 'link', '100002')
        assert result.returncode != 0, result.stdout
        faulted = self.row('song.getSongLink', 'songid=100002')
        assert 'html502' in faulted.text and 'HTTP 502' in faulted.text, faulted.text
        faulted_rows = len(driver.find_elements(By.XPATH, '//*[@id="log-rows"]/tr[contains(., "html502")]'))
        driver.find_element(By.CSS_SELECTOR, '#rules-rows button[data-rule]').click()
        self.wait.until(lambda d: d.find_element(By.ID, 'rules-empty').is_displayed())
        result = self.lumo('song', 'link', '100002')
        assert result.returncode == 0, result.stderr

        # A token that is not a seed user's, as a cookie and as a parameter: nowhere in the page.
        self.lumo('list', 'show', '300151', token=SECRET)
        self.lumo('fav', 'list', token=SECRET)
        refused = self.row('favorite.getFavoriteSong', '40011')
        self.open(self.row('ugcdiy.getBaseInfo', '40011'), '40011')
        self.copy_as_curl(refused)
        assert 'kwtok=***' in driver.find_element(By.ID, 'detail').text
        for name, text in (('text', driver.execute_script('return document.documentElement.innerText')),
                           ('source', driver.page_source)):
            assert SECRET not in text, 'the token shows in the page ' + name
        driver.save_screenshot(os.path.join(self.args.out, 'viewer-token.png'))

        # Filters: by method, then by outcome.
        Select(driver.find_element(By.ID, 'filter-method')).select_by_value('norda.lumo.song.getSongLink')
        visible = [r for r in driver.find_elements(By.CSS_SELECTOR, '#log-rows tr') if r.is_displayed()]
        assert len(visible) == 2 + faulted_rows, [r.text for r in visible]
        assert all('getSongLink' in r.text for r in visible), [r.text for r in visible]
        Select(driver.find_element(By.ID, 'filter-code')).select_by_value('error')
        visible = [r for r in driver.find_elements(By.CSS_SELECTOR, '#log-rows tr') if r.is_displayed()]
        assert len(visible) == faulted_rows and all('html502' in r.text for r in visible), \
            [r.text for r in visible]
        # HTTP status and free text, each combined with the others.
        Select(driver.find_element(By.ID, 'filter-code')).select_by_value('')
        Select(driver.find_element(By.ID, 'filter-http')).select_by_value('502')
        assert len(self.visible_rows()) == faulted_rows
        Select(driver.find_element(By.ID, 'filter-http')).select_by_value('')
        self.set_text_filter('SONGID=100001')
        visible = self.visible_rows()
        assert len(visible) == 1 and 'songid=100001' in visible[0].text, [r.text for r in visible]
        Select(driver.find_element(By.ID, 'filter-method')).select_by_value('')
        self.set_text_filter('unknown session')
        assert len(self.visible_rows()) == 3, [r.text for r in self.visible_rows()]  # curl's too
        self.set_text_filter('')
        self.curl_reproduces()
        self.cut_json_answer()
        self.exports()

        # The pictures (the documentation's is the wide one): the whole log, the decrypted song
        # list opened.
        self.layout(1024)
        self.layout(1280)  # the narrowest with the side column
        shot = self.layout(1920)

        self.other_page_is_refused()
        driver.get(viewer)
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, 'live'), 'live'))
        self.row('ugcdiy.getBaseInfo', 'lin.mei')
        self.pause_and_clear()
        self.task_pages()

        # Reset asks first, then empties the log.
        driver.find_element(By.ID, 'reset').click()
        self.wait.until(expected_conditions.alert_is_present())
        driver.switch_to.alert.accept()
        self.wait.until(lambda d: not d.find_elements(By.CSS_SELECTOR, '#log-rows tr'))
        print('viewer checks passed; screenshot in ' + shot)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument('--sandbox', help='the lumo-sandbox executable to start')
    where.add_argument('--connect-to', metavar='127.0.0.1:PORT',
                       help='a sandbox already running there, with its state fresh')
    parser.add_argument('--lumo', required=True, help='the lumo executable')
    parser.add_argument('--chromium', default='/usr/bin/chromium')
    parser.add_argument('--chromedriver', default='/usr/bin/chromedriver')
    parser.add_argument('--out', required=True, help='folder for the screenshots')
    parser.add_argument('--har-schema', required=True,
                        help="the lib/ folder of npm's har-schema (scripts/npm-ci.sh installs it)")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    if not os.path.isfile(os.path.join(args.har_schema, 'har.json')):
        sys.exit('no HAR schemas in %s: scripts/npm-ci.sh BUILD_DIR installs them' % args.har_schema)

    if args.connect_to:
        sandbox, port = None, running_sandbox_port(args.connect_to)
    else:
        sandbox, port = start_sandbox(args.sandbox)
    browser = None
    try:
        browser = Browser(args.chromium, args.chromedriver)
        ViewerCheck(args, port, browser.driver).run()
    finally:
        if browser:
            browser.close()
        if sandbox:
            sandbox.terminate()
            try:
                sandbox.wait(timeout=10)
            except subprocess.TimeoutExpired:
                sandbox.kill()
    return 0


if __name__ == '__main__':
    sys.exit(main())
