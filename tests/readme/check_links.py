"""Every relative link of the user's pages leads somewhere: the file or folder exists and, when
the link names a heading (`page.md#heading`), the page has that heading.

The README and BENCHMARKS send the reader on to the guide, the manual pages and the records of
the benchmarks; a page moved or a heading renamed would otherwise leave a dead link that nobody
notices until a user follows it.

    check_links.py SOURCE_DIR
"""

import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^\s*```")


def pages(source):
    """README.md, BENCHMARKS.md and every Markdown page under docs/."""
    found = [os.path.join(source, name) for name in ("README.md", "BENCHMARKS.md")]
    for folder, _, files in os.walk(os.path.join(source, "docs")):
        found += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".md")]
    return found


def prose_lines(text):
    """(line number, line) outside fenced blocks: a link-like text in an example is not a link."""
    inside = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            inside = not inside
        elif not inside:
            yield number, line


def anchors(page):
    """The anchors a renderer gives the page's headings: lower case, punctuation but '-' and '_'
    dropped, spaces turned into '-', a repeated heading numbered."""
    seen, result = {}, set()
    with open(page, encoding="utf-8") as text:
        for _, line in prose_lines(text.read()):
            heading = re.match(r"^#{1,6}\s+(.*?)\s*$", line)
            if not heading:
                continue
            slug = re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-")
            result.add(slug if slug not in seen else f"{slug}-{seen[slug]}")
            seen[slug] = seen.get(slug, 0) + 1
    return result


def dead_links(page):
    """(line number, target, why) of each relative link of the page that leads nowhere."""
    dead = []
    with open(page, encoding="utf-8") as text:
        lines = list(prose_lines(text.read()))
    for number, line in lines:
        for target in LINK.findall(line):
            if re.match(r"^[a-z]+:", target):  # http:, https:, mailto: are not ours to check
                continue
            path, _, anchor = target.partition("#")
            goal = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            if not os.path.exists(goal):
                dead.append((number, target, "no such file"))
            elif anchor and goal.endswith(".md") and anchor not in anchors(goal):
                dead.append((number, target, "no such heading"))
    return dead


def main(source):
    failures = 0
    checked = pages(source)
    for page in checked:
        for number, target, why in dead_links(page):
            failures += 1
            print(f"{os.path.relpath(page, source)}:{number}: {target}: {why}")
    print(f"{len(checked)} pages, {failures} dead links")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
