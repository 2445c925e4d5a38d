"""Runs the checked examples of the README and the guide and compares what they print with what
the page shows.

A fenced block is checked when the line before its opening fence is the marker

    <!-- checked -->                       or
    <!-- checked vary="total step, caluclation time" -->
    <!-- checked slow -->                  (run only with KELM_README_SLOW=1: minutes)

Inside it, a line starting with "$ " is a command (a line ending in a backslash goes on at the
next line); the lines up to the next command are what it prints (standard output). A line
"..." stands for any number of lines. In a line starting with one of the `vary` prefixes the
numbers are not compared: the page says they vary (steps with the random start, times with
the machine). The commands of a page run in order, in one scratch folder of its own holding
links to the build (`build/`, and on PATH) and to the examples, so later commands read what
earlier ones wrote.

    check_readme.py BUILD_DIR SOURCE_DIR PAGE.md...

A page without a checked block is fine (the guide has pages of prose), but the README must
have one, so that a broken marker cannot silently turn the whole check off.
"""

import os
import re
import subprocess
import sys
import tempfile

MARKER = re.compile(r'^<!-- checked(?: vary="([^"]*)")?( slow)? -->\s*$')


def checked_blocks(lines):
    """(line number, vary prefixes, block lines) of each marked block."""
    blocks = []
    for i, line in enumerate(lines):
        marker = MARKER.match(line)
        if not marker or i + 1 >= len(lines) or not lines[i + 1].startswith("```"):
            continue
        end = next(j for j in range(i + 2, len(lines)) if lines[j].startswith("```"))
        if marker.group(2) and os.environ.get("KELM_README_SLOW") != "1":
            continue
        vary = [p.strip() for p in (marker.group(1) or "").split(",") if p.strip()]
        blocks.append((i + 2, vary, lines[i + 2:end]))
    return blocks


def commands(block):
    """(command, shown output lines) in the order of the block."""
    steps, i = [], 0
    while i < len(block):
        if not block[i].startswith("$ "):
            raise ValueError(f"output before any command: {block[i]!r}")
        command = block[i][2:]
        while command.endswith("\\"):
            i += 1
            command = command + "\n" + block[i]
        i += 1
        shown = []
        while i < len(block) and not block[i].startswith("$ "):
            shown.append(block[i])
            i += 1
        steps.append((command, shown))
    return steps


def masked(line, vary):
    return re.sub(r"[0-9][0-9.,]*", "#", line) if any(line.startswith(p) for p in vary) else line


def matches(shown, printed, vary):
    """Whether the printed lines are the shown ones, "..." standing for any lines."""
    if not shown:
        return not printed
    if shown[0] == "...":
        return any(matches(shown[1:], printed[k:], vary) for k in range(len(printed) + 1))
    return bool(printed) and masked(shown[0], vary) == masked(printed[0], vary) and \
        matches(shown[1:], printed[1:], vary)


def run_page(page, blocks, build, source):
    """The number of commands of the page whose output differs from what it shows."""
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kelm_readme_") as scratch:
        os.symlink(os.path.abspath(build), os.path.join(scratch, "build"))
        os.symlink(os.path.join(os.path.abspath(source), "examples"), os.path.join(scratch, "examples"))
        env = dict(os.environ, PATH=os.path.abspath(build) + os.pathsep + os.environ["PATH"])
        for number, vary, block in blocks:
            for command, shown in commands(block):
                done = subprocess.run(command, shell=True, cwd=scratch, env=env, text=True,
                                      capture_output=True, timeout=900)
                printed = done.stdout.rstrip("\n").splitlines()  # closing blank lines aside
                if matches(shown, printed, vary):
                    continue
                failures += 1
                print(f"{page}:{number}: $ {command}\n--- shown\n" + "\n".join(shown) +
                      "\n--- printed (status %d)\n" % done.returncode + "\n".join(printed) +
                      ("\n--- standard error (end)\n" + "\n".join(done.stderr.splitlines()[-5:])
                       if done.stderr else ""))
    return failures


def main(build, source, *pages):
    if subprocess.run(["/usr/bin/python3", "-c", "import numpy"], capture_output=True).returncode:
        print("skipped: the README's examples run Debian's /usr/bin/python3 with numpy (python3-numpy)")
        return 77
    total_blocks, failures = 0, 0
    for page in pages:
        with open(page, encoding="utf-8") as text:
            blocks = checked_blocks(text.read().splitlines())
        if not blocks and os.path.basename(page) == "README.md":
            print(f"{page}: no checked block")
            return 1
        total_blocks += len(blocks)
        failures += run_page(page, blocks, build, source)
    print(f"{len(pages)} pages, {total_blocks} checked blocks, "
          f"{failures} commands disagree with their page")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
