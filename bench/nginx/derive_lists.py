#!/usr/bin/env python3
"""Derives the 10- and 1,000-song list pages from the captured 100-song page.

usage: derive_lists.py BODIES_DIR

Reads BODIES_DIR/list.json (the sandbox's answer to a list page) and writes list10.json (its
first 10 songs) and list1000.json (its songs ten times over, each copy with its own song ids), so
that the growth curve parses answers of the same shape as the real one.
"""
import copy
import json
import sys


def other_id(song_id, copy_index):
    """The id of the copy_index-th copy of a song, of the same JSON type as the original."""
    if isinstance(song_id, int):
        return song_id + copy_index * 10_000_000
    return f"{song_id}{copy_index:02d}" if copy_index else song_id


def with_songs(answer, songs):
    derived = copy.deepcopy(answer)
    derived["result"]["songlist"] = songs
    return derived


def main():
    directory = sys.argv[1]
    with open(f"{directory}/list.json", encoding="utf-8") as f:
        answer = json.load(f)
    songs = answer["result"]["songlist"]
    if len(songs) < 10:
        sys.exit(f"derive_lists.py: the captured page has {len(songs)} songs, expected 100")
    many = []
    for copy_index in range(10):
        for song in songs:
            song = copy.deepcopy(song)
            song["song_id"] = other_id(song["song_id"], copy_index)
            many.append(song)
    for name, page in (("list10", songs[:10]), ("list1000", many)):
        with open(f"{directory}/{name}.json", "w", encoding="utf-8") as f:
            json.dump(with_songs(answer, page), f, ensure_ascii=False, separators=(",", ":"))


if __name__ == "__main__":
    main()
