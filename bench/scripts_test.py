#!/usr/bin/env python3
"""Checks the benchmark's scripts on made-up inputs: the derived list pages and the tables.

Runs no benchmark and starts no server.
"""
import contextlib
import io
import json
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "nginx")]

import derive_lists  # noqa: E402
import tables  # noqa: E402


def run(mode, concurrency, rate, cpu_us, **extra):
    fields = {"mode": mode, "concurrency": concurrency, "completed": 1000, "failed": 0,
              "timed_out": False, "requests_per_s": rate, "ratio_to_raw": 0, "p50_us": 100.0,
              "p99_us": 900.0, "client_cpu_us_per_request": cpu_us,
              "context_switches_per_request": 0.25, "server_cpu_us_per_request": -1,
              "base_rss_kb": 10240, "peak_rss_kb": 20480, "peak_rss_reset": True, "pages": 0,
              "items": 0}
    fields.update(extra)
    return fields


def results(requests=1000, runs=()):
    return {"scenario": "load", "requests": requests, "warmup": 10, "load_before": "1 1 1",
            "load_after": "1 1 1", "runs": list(runs)}


class DeriveListsTest(unittest.TestCase):
    def test_pages_keep_the_shape_and_get_distinct_ids(self):
        for name, first_id in (("number ids", 5000), ("text ids", "5000")):
            with self.subTest(name), tempfile.TemporaryDirectory() as directory:
                songs = [{"song_id": first_id + i if isinstance(first_id, int) else f"{5000 + i}",
                          "title": f"t{i}"} for i in range(100)]
                answer = {"error_code": 22000, "result": {"song_num": 500, "songlist": songs}}
                with open(os.path.join(directory, "list.json"), "w") as f:
                    json.dump(answer, f)
                sys.argv = ["derive_lists.py", directory]
                derive_lists.main()
                for page, count in (("list10", 10), ("list1000", 1000)):
                    with open(os.path.join(directory, page + ".json")) as f:
                        derived = json.load(f)
                    got = derived["result"]["songlist"]
                    self.assertEqual(len(got), count)
                    self.assertEqual(derived["result"]["song_num"], 500)
                    ids = [song["song_id"] for song in got]
                    self.assertEqual(len(set(ids)), count)
                    self.assertTrue(all(type(i) is type(first_id) for i in ids))
                    self.assertEqual(got[0], songs[0])


class TablesTest(unittest.TestCase):
    def tables_of(self, files):
        with tempfile.TemporaryDirectory() as directory:
            for name, content in files.items():
                with open(os.path.join(directory, name + ".json"), "w") as f:
                    json.dump(content, f)
            sys.argv = ["tables.py", directory, "--dat", os.path.join(directory, "plot")]
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                tables.main()
            dat = ""
            if "nginx-splash" in files:
                with open(os.path.join(directory, "plot", "throughput-splash.dat")) as f:
                    dat = f.read()
        return out.getvalue(), dat

    def test_target_rows(self):
        splash = results(runs=[run("library", 16, 9000, 30), run("raw", 16, 10000, 22),
                               run("cpprest", 16, 3000, 90), run("library", 64, 8000, 31),
                               run("raw", 64, 10000, 20)])
        burst = results(10000, [run("library", 10000, 5000, 40, peak_rss_kb=102400)])
        paging = results(5, [run("library", 1, 6, 9000, p50_us=110.0),
                             run("raw", 1, 8, 7000, p50_us=100.0)])
        # On a loaded machine the library can come out cheaper than raw; the sign stays.
        fav = results(runs=[run("library", 16, 900, 150), run("raw", 16, 1000, 180)])
        text, dat = self.tables_of({"nginx-splash": splash, "nginx-fav": fav, "burst": burst,
                                    "paging-fav": paging})
        expected = [
            "| splash: library ÷ raw calls/s at 16 | ≥ 0.9 | 0.90 |",
            "| splash: library ÷ raw calls/s at 64 | ≥ 0.9 | 0.80 |",
            "| splash: library ÷ cpprest calls/s at 16 | ≥ 2 | 3.00 |",
            "| splash: library CPU beyond raw at 16, µs/call | ≤ 10 | 8.0 |",
            "| fav: library CPU beyond raw at 16, µs/call | ≤ 10 | -30.0 |",
            "| library peak RSS with 10,000 calls in flight, MiB | < 143 (150 MB) | 100.0 |",
            "| paging fav: library ÷ raw sequential GETs, median time per task | ≤ 1.1 | 1.10 |",
        ]
        for line in expected:
            self.assertIn(line, text)
        # Modes that did not run are NaN in the plot data, so the plot leaves a gap.
        self.assertIn("16 9000.0 10000.0 3000.0 NaN NaN", dat)

    def test_missing_runs_are_left_out(self):
        text, _ = self.tables_of({"nginx-fav": results(runs=[run("library", 16, 900, 300)])})
        self.assertIn("### nginx, favourites page", text)
        self.assertNotIn("fav: library ÷ raw", text)
        self.assertNotIn("### Gathering tasks", text)

    def test_growth_takes_the_100_song_row_from_the_list_run(self):
        rows = {"growth-list10": results(runs=[run("library", 16, 3000, 60),
                                               run("raw", 16, 4000, 40)]),
                "nginx-list": results(runs=[run("library", 16, 900, 400),
                                            run("raw", 16, 1200, 300)]),
                "meta": {"bodies": {"list10": 2072}}}
        text, _ = self.tables_of(rows)
        self.assertIn("| 10 | 2,072 | 60.0 | 40.0 | 20.0 | 3,000 | 4,000 |", text)
        self.assertIn("| 100 | - | 400.0 | 300.0 | 100.0 | 900 | 1,200 |", text)


if __name__ == "__main__":
    unittest.main()
