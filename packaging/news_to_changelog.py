#!/usr/bin/env python3
"""Writes the Debian changelog of the kelna package from NEWS.md.

NEWS.md has one section per version, newest first: a heading "## VERSION" (for a version
released before the current one "## VERSION (YYYY-MM-DD)"), then paragraphs and "- " list
items, each of which becomes one "  * " entry of the changelog, wrapped within 80 columns.
The top section must be the version being built. It is dated by --date (seconds since 1970:
scripts/package.sh gives the release commit's time, SOURCE_DATE_EPOCH), else by the time
NEWS.md was last changed; an older section by its heading's day, at noon UTC.

Usage: news_to_changelog.py NEWS.md OUT --version V --maintainer "Name <address>" [--date S]
"""
import argparse
import calendar
import os
import re
import sys
import textwrap
import time

DAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def rfc2822(seconds):
    """The changelog's date, in English whatever the locale."""
    t = time.gmtime(seconds)
    return (f"{DAYS[t.tm_wday]}, {t.tm_mday:02d} {MONTHS[t.tm_mon - 1]} {t.tm_year} "
            f"{t.tm_hour:02d}:{t.tm_min:02d}:{t.tm_sec:02d} +0000")


def plain(text):
    """Markdown's inline marks dropped: the changelog is plain text."""
    text = re.sub(r"\[([^]]*)\]\(([^)]*)\)", r"\1 (\2)", text)
    return re.sub(r"`|\*\*", "", text)


def sections(lines):
    """[(version, day or None, [entry, ...])] in the file's order."""
    found = []
    entry = None  # the entry that a following line continues
    for number, line in enumerate(lines, 1):
        heading = re.fullmatch(r"## +(\S+)(?: +\((\d{4}-\d{2}-\d{2})\))? *", line)
        if heading:
            found.append((heading[1], heading[2], []))
            entry = None
        elif not found:
            continue  # the title and the preamble above the first version
        elif line.startswith("#"):
            sys.exit(f"NEWS.md:{number}: a heading other than '## VERSION [(YYYY-MM-DD)]'")
        elif not line.strip():
            entry = None
        elif line.startswith("- ") or entry is None:
            found[-1][2].append(line.removeprefix("- ").strip())
            entry = len(found[-1][2]) - 1
        else:
            found[-1][2][entry] += " " + line.strip()
    return found


def version_key(version):
    return tuple(int(part) for part in re.findall(r"\d+", version))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("news")
    parser.add_argument("out")
    parser.add_argument("--version", required=True)
    parser.add_argument("--maintainer", required=True)
    parser.add_argument("--date", type=int)
    parser.add_argument("--package", default="kelna")
    args = parser.parse_args()

    with open(args.news, encoding="utf-8") as news:
        found = sections(news.read().splitlines())
    if not found or found[0][0] != args.version:
        sys.exit(f"NEWS.md: the top section is not '## {args.version}', the version being built")
    for (newer, _, _), (older, _, _) in zip(found, found[1:]):
        if version_key(newer) <= version_key(older):
            sys.exit(f"NEWS.md: {newer} is above {older}: newest first")
    out = []
    for index, (version, day, entries) in enumerate(found):
        if not entries:
            sys.exit(f"NEWS.md: {version} says nothing")
        if index == 0:
            seconds = args.date if args.date is not None else int(os.stat(args.news).st_mtime)
        elif day:
            seconds = calendar.timegm(time.strptime(day + " 12", "%Y-%m-%d %H"))
        else:
            sys.exit(f"NEWS.md: {version} was released before {args.version}: its heading needs "
                     f"its release day, '## {version} (YYYY-MM-DD)'")
        out.append(f"{args.package} ({version}) unstable; urgency=medium\n\n")
        for entry in entries:
            out.append(textwrap.fill(plain(entry), width=78, initial_indent="  * ",
                                     subsequent_indent="    ", break_long_words=False,
                                     break_on_hyphens=False) + "\n")
        out.append(f"\n -- {args.maintainer}  {rfc2822(seconds)}\n")
        if index + 1 < len(found):
            out.append("\n")
    with open(args.out, "w", encoding="utf-8", newline="\n") as changelog:
        changelog.writelines(out)


if __name__ == "__main__":
    main()
