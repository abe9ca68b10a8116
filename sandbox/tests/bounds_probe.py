#!/usr/bin/env python3
"""What a hostile local client can make the sandbox hold or spend through its inspection
endpoints: fault rules that are many or large, event-stream followers that never read,
followers that connect again and again, and large requests kept for a replay. Prints one line per
figure.

    python3 sandbox/tests/bounds_probe.py build/default/sandbox/lumo-sandbox

Traffic goes to 127.0.0.1 only; every loop is bounded in count and time (about two minutes in
all, most of it waiting for a build that keeps large rules to list them).
"""
import http.client
import json
import re
import socket
import subprocess
import sys
import threading
import time

SPLASH = ('/v1/restserver/lumo?method=norda.lumo.active.startPC&format=json&from=qxpc'
          '&version=1.0.0&version_d=10.1.1.1')


def start(binary):
    process = subprocess.Popen([binary, '--port', '0', '--db', ':memory:', '--threads', '2'],
                               stdout=subprocess.PIPE, text=True)
    port = int(re.search(r':(\d+)$', process.stdout.readline().strip()).group(1))
    process.stdout.readline()
    return process, port


def rss_mib(process):
    with open('/proc/%d/status' % process.pid) as status:
        for line in status:
            if line.startswith('VmRSS:'):
                return int(line.split()[1]) / 1024
    return 0


class Sandbox:
    def __init__(self, port):
        self.port = port
        self.connection = http.client.HTTPConnection('127.0.0.1', port, timeout=120)

    def call(self, verb, path, body=None, headers=None):
        headers = dict(headers or {})
        if body is not None:
            headers['Content-Type'] = 'application/json'
        try:
            self.connection.request(verb, path, body=body, headers=headers)
            response = self.connection.getresponse()
            return response.status, response.read()
        except (OSError, http.client.HTTPException):
            self.connection.close()
            self.connection = http.client.HTTPConnection('127.0.0.1', self.port, timeout=120)
            return 0, b''


def large_rules(process, sandbox):
    before = rss_mib(process)
    accepted = 0
    for _ in range(200):
        rule = json.dumps({'method': 'm' * (1024 * 1024 - 64), 'action': 'close'})
        accepted += sandbox.call('POST', '/_sandbox/rules', rule)[0] == 200
    start_time = time.monotonic()
    status, body = sandbox.call('GET', '/_sandbox/rules')
    took = time.monotonic() - start_time
    print('200 rules of 1 MiB: %d accepted, RSS %.0f -> %.0f MiB, GET /_sandbox/rules %.2f s '
          '(%d bytes)' % (accepted, before, rss_mib(process), took, len(body)))
    sandbox.call('DELETE', '/_sandbox/rules')


def many_rules(sandbox):
    rule = json.dumps({'method': '*', 'action': 'delay', 'delay_ms': 1})
    for _ in range(5000):
        sandbox.call('POST', '/_sandbox/rules', rule)
    kept = len(json.loads(sandbox.call('GET', '/_sandbox/rules')[1])['rules'])
    print('5000 small rules posted: %d kept' % kept)
    sandbox.call('DELETE', '/_sandbox/rules')


def fill_log(sandbox):
    # Some 50 KB an entry (the log keeps 4 KiB of a header): the 2 MiB backlog is full.
    padding = {'User-Agent': 'qxpc_1.0.0'}
    for i in range(12):
        padding['X-Padding-%d' % i] = 'p' * 4000
    for _ in range(60):
        sandbox.call('GET', SPLASH, headers=padding)


def open_stream(port):
    connection = socket.create_connection(('127.0.0.1', port), timeout=5)
    connection.sendall(b'GET /_sandbox/events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % port)
    head = connection.recv(64)
    return connection, head.startswith(b'HTTP/1.1 200')


def splash_mean_ms(port, seconds):
    sandbox = Sandbox(port)
    calls = 0
    spent = 0.0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        start_time = time.perf_counter()
        sandbox.call('GET', SPLASH, headers={'User-Agent': 'qxpc_1.0.0'})
        spent += time.perf_counter() - start_time
        calls += 1
    return 1000 * spent / calls, calls


def refollowing(port):
    alone, _ = splash_mean_ms(port, 3)
    stop = threading.Event()
    counts = [0] * 4

    def follow_again(index):
        while not stop.is_set():
            try:
                connection, _ = open_stream(port)
                connection.close()
                counts[index] += 1
            except OSError:
                pass

    threads = [threading.Thread(target=follow_again, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    busy, calls = splash_mean_ms(port, 5)
    stop.set()
    for thread in threads:
        thread.join()
    print('4 clients following again for 5 s: %d streams opened; splash call %.2f ms alone, '
          '%.2f ms meanwhile (%d calls)' % (sum(counts), alone, busy, calls))


def silent_followers(port, sandbox):
    start_time = time.monotonic()
    silent = [open_stream(port) for _ in range(8)]
    admitted = sum(ok for _, ok in silent)
    fill_log(sandbox)  # the calls they are sent and never read
    filled = time.monotonic() - start_time
    waited = None
    while time.monotonic() - start_time < 30:
        connection, ok = open_stream(port)
        connection.close()
        if ok:
            waited = time.monotonic() - start_time
            break
        time.sleep(0.5)
    for connection, _ in silent:
        connection.close()
    print('8 followers that never read (%d admitted), then 60 calls (%.1f s): a ninth got in %s '
          'after the eight came' %
          (admitted, filled, '%.1f s' % waited if waited is not None else 'not within 30 s'))


def last_seq(sandbox):
    return json.loads(sandbox.call('GET', '/_sandbox/log?since=999999999')[1])['last_seq']


def kept_requests(process, sandbox):
    """Requests just within what is kept whole for a replay (1 MiB each), in three rounds of 300
    with some 900 KB of headers and 20 with a body of 1,000,000 bytes; then a replay of the
    newest and of the tenth newest."""
    rss = [rss_mib(process)]
    headers = {'User-Agent': 'qxpc_1.0.0'}
    for i in range(14):
        headers['X-Large-%d' % i] = 'k' * 64000
    for _ in range(3):
        for _ in range(300):
            sandbox.call('GET', SPLASH, headers=headers)
        for _ in range(20):
            sandbox.call('GET', SPLASH, body='b' * 1000000, headers={'User-Agent': 'qxpc_1.0.0'})
        rss.append(rss_mib(process))
    newest = last_seq(sandbox)
    replays = [sandbox.call('POST', '/_sandbox/replay', json.dumps({'seq': seq}))[0]
               for seq in (newest, newest - 9)]
    print('3 x (300 calls with 900 KB of headers, 20 with 1 MB bodies): RSS %s MiB; replay of '
          'the newest %d, of the tenth newest %d' %
          (' -> '.join('%.0f' % mib for mib in rss), replays[0], replays[1]))


def main():
    process, port = start(sys.argv[1])
    try:
        sandbox = Sandbox(port)
        large_rules(process, sandbox)
        many_rules(sandbox)
        fill_log(sandbox)
        refollowing(port)
        silent_followers(port, sandbox)
        kept_requests(process, sandbox)
    finally:
        process.terminate()
        process.wait(timeout=10)


if __name__ == '__main__':
    main()
