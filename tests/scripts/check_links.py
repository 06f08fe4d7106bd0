#!/usr/bin/env python3
"""Usage: check_links.py ROOT

Checks every relative link in the Markdown files under ROOT (the repository,
or an unpacked release zip): the file it names exists under ROOT, and a
#anchor names a heading of that file as GitHub writes its anchors. Prints
one line per broken link and exits 1, or a count and 0.
"""
import os
import re
import sys

FENCE = re.compile(r"^\s*(```|~~~)")
CODE_SPAN = re.compile(r"`+[^`]*`+")
# [text](target) or [text](target "title"), once code spans are set aside.
INLINE_LINK = re.compile(r"\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s*\[[^\]]+\]:\s*<?(\S+?)>?(?:\s|$)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")


def prose_lines(path):
    """The file's lines outside fenced code blocks, with their numbers."""
    with open(path, encoding="utf-8-sig") as file:
        fenced = False
        for number, line in enumerate(file, 1):
            line = line.rstrip("\r\n")
            if FENCE.match(line):
                fenced = not fenced
            elif not fenced:
                yield number, line


def anchors(path):
    """GitHub's anchors: the heading's text, lower case, punctuation dropped,
    blanks to hyphens; a repeated one gets -1, -2, ..."""
    seen = {}
    result = set()
    for _, line in prose_lines(path):
        heading = HEADING.match(line)
        if not heading:
            continue
        text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading.group(1)).replace("`", "")
        slug = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


def links(path):
    """Each link's line and target; a link's text may run over a line end."""
    lines = dict(prose_lines(path))
    text = "\n".join(lines.get(n, "") for n in range(1, max(lines, default=0) + 1))
    # A code span's brackets are no link, but a link's text may be one.
    text = CODE_SPAN.sub(lambda span: "code" + "\n" * span.group().count("\n"), text)
    for match in INLINE_LINK.finditer(text):
        yield text.count("\n", 0, match.start()) + 1, match.group(1)
    for number, line in lines.items():
        reference = REFERENCE.match(line)
        if reference:
            yield number, reference.group(1)


def main(root):
    root = os.path.abspath(root)
    pages = []
    for directory, subdirectories, files in os.walk(root):
        subdirectories[:] = [d for d in subdirectories if not d.startswith(".") and d not in ("build", "dist")]
        pages += [os.path.join(directory, f) for f in files if f.endswith(".md")]
    broken = checked = 0
    for page in sorted(pages):
        for number, target in links(page):
            if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                continue
            checked += 1
            file_part, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), file_part)) if file_part else page
            where = f"{os.path.relpath(page, root)}:{number}: {target}"
            if os.path.relpath(resolved, root).startswith(".."):
                problem = "points outside"
            elif not os.path.exists(resolved):
                problem = "no such file"
            elif anchor and (not resolved.endswith(".md") or anchor not in anchors(resolved)):
                problem = "no such heading"
            else:
                continue
            print(f"{where}: {problem}")
            broken += 1
    print(f"{checked} relative links in {len(pages)} Markdown files, {broken} broken")
    return 1 if broken or not pages else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
