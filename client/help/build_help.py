#!/usr/bin/env python3
"""Builds help.chm from the pages of this folder.

    build_help.py --chmcmd PATH --work DIR --output FILE

The pages are kept in UTF-8. The Windows help viewer reads a Chinese help file in the code page of
its language (0x804, GB2312) only: the project, contents, index, pages and style sheet are written
into the work folder in GB2312, with the pages' declared charset changed to match, and compiled
there. A character that GB2312 lacks stops the build with the file and line that hold it.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEXT_SUFFIXES = (".htm", ".html", ".hhc", ".hhk", ".hhp", ".css")


def project_files(project_text):
    """The files the project lists in its [FILES] section, in order."""
    files, section = [], None
    for line in project_text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].upper()
        elif section == "FILES" and line and not line.startswith(";"):
            files.append(line.replace("\\", "/"))
    return files


def option(project_text, name):
    match = re.search(r"^" + re.escape(name) + r"\s*=\s*(.+?)\s*$", project_text, re.M)
    return match.group(1) if match else None


def write_gb2312(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"charset=utf-8", "charset=gb2312", text, flags=re.I)
    try:
        data = text.encode("gb2312")
    except UnicodeEncodeError as error:
        line = text.count("\n", 0, error.start) + 1
        raise SystemExit("%s:%d: %r has no GB2312 form" % (source, line, text[error.start:error.end]))
    with open(target, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--chmcmd", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    project = os.path.join(HERE, "help.hhp")
    with open(project, encoding="utf-8") as f:
        project_text = f.read()
    names = ["help.hhp"] + [option(project_text, o) for o in ("Contents file", "Index file")]
    names += project_files(project_text)

    shutil.rmtree(args.work, ignore_errors=True)
    for name in names:
        source = os.path.join(HERE, name)
        if not os.path.isfile(source):
            raise SystemExit("%s: listed by help.hhp but missing" % source)
        target = os.path.join(args.work, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if name.lower().endswith(TEXT_SUFFIXES):
            write_gb2312(source, target)
        else:
            shutil.copyfile(source, target)

    compiled = os.path.join(args.work, option(project_text, "Compiled file"))
    run = subprocess.run([args.chmcmd, "help.hhp"], cwd=args.work, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT)
    log = run.stdout.decode("gb2312", "replace")
    # The compiler names a page or picture that a link points to but the project lacks; such a
    # help file would show an error page where the subscriber clicked.
    missing = [l for l in log.splitlines() if re.match(r"\s*(warning|error)", l, re.I)]
    if run.returncode != 0 or missing or not os.path.isfile(compiled):
        sys.stderr.write(log)
        raise SystemExit("chmcmd failed to build %s" % compiled)
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    shutil.copyfile(compiled, args.output)


if __name__ == "__main__":
    main()
