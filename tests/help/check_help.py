#!/usr/bin/env python3
"""Opens the built help.chm with a CHM reader (extract_chmLib of chmlib) and checks what a
subscriber would meet in the Windows help viewer:

- the file declares Simplified Chinese (LCID 0x804), so that the viewer reads its GB2312 texts;
- its contents and index are the repository's, and every topic they name is in the file, reads as
  GB2312 and carries the title the contents give it;
- every link and picture of every page leads to a file that is in the help file;
- every message of the program that a page quotes is the program's text, word for word.

    check_help.py --chm help.chm --source SOURCE_DIR
"""
import argparse
import html
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ARGS = None
CHINESE_PRC = 0x0804
TITLE = "远岸宽带拨号客户端帮助"
DIAL_ERRORS = ("651", "678", "691", "718", "769", "797", "815")


def sitemap_entries(text):
    """(name, local) of every sitemap object of a contents or index file; local is None for a
    heading without a page."""
    entries = []
    for block in re.findall(r'<OBJECT\s+type="text/sitemap">(.*?)</OBJECT>', text, re.S | re.I):
        params = dict((k.lower(), html.unescape(v))
                      for k, v in re.findall(r'<param\s+name="([^"]+)"\s+value="([^"]*)"', block, re.I))
        entries.append((params.get("name"), params.get("local")))
    return entries


def system_entries(data):
    """The entries of the #SYSTEM file: code -> bytes."""
    entries, offset = {}, 4
    while offset + 4 <= len(data):
        code, length = struct.unpack_from("<HH", data, offset)
        entries[code] = data[offset + 4:offset + 4 + length]
        offset += 4 + length
    return entries


class HelpFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.chm = ARGS.chm
        cls.source = os.path.join(ARGS.source, "client", "help")
        reader = shutil.which("extract_chmLib")
        if reader is None:
            raise RuntimeError("extract_chmLib is missing (Debian package libchm-bin): run scripts/setup")
        cls.work = tempfile.mkdtemp(prefix="help-chm-")
        out = os.path.join(cls.work, "chm")
        run = subprocess.run([reader, cls.chm, out], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if run.returncode != 0 or not os.path.isdir(out):
            raise RuntimeError("extract_chmLib cannot read %s:\n%s" % (cls.chm, run.stdout.decode()))
        cls.out = out
        with open(cls.chm, "rb") as f:
            cls.header = f.read(0x60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def inside(self, name):
        """The bytes of a file of the help file, or None."""
        path = os.path.join(self.out, name.lstrip("/"))
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def page_text(self, name):
        data = self.inside(name)
        self.assertIsNotNone(data, "%s is not in the help file" % name)
        try:
            return data.decode("gb2312")
        except UnicodeDecodeError as error:
            self.fail("%s does not read as GB2312: %s" % (name, error))

    def source_text(self, name):
        with open(os.path.join(self.source, name), encoding="utf-8") as f:
            return f.read()

    def test_declares_simplified_chinese_and_its_start_page(self):
        self.assertEqual(self.header[:4], b"ITSF")
        self.assertEqual(struct.unpack_from("<I", self.header, 0x14)[0], CHINESE_PRC)
        system = system_entries(self.inside("#SYSTEM"))
        self.assertEqual(struct.unpack_from("<I", system[4], 0)[0], CHINESE_PRC)
        self.assertEqual(system[3].rstrip(b"\0").decode("gb2312"), TITLE)
        start = system[2].rstrip(b"\0").decode("ascii")
        self.assertIsNotNone(self.inside(start), "start page %s is missing" % start)
        font = system[16].rstrip(b"\0").decode("gb2312")
        self.assertEqual(font.split(",")[-1], "134", "the default font is not a GB2312 one: " + font)

    def test_every_topic_of_the_contents_and_index_is_there_with_its_title(self):
        for listing in ("help.hhc", "help.hhk"):
            with self.subTest(listing=listing):
                built = sitemap_entries(self.page_text(listing))
                self.assertEqual(built, sitemap_entries(self.source_text(listing)),
                                 "%s of the help file is not the repository's" % listing)
                topics = [(n, l) for n, l in built if l]
                self.assertGreater(len(topics), 10)
                for name, local in topics:
                    text = self.page_text(local)
                    if listing == "help.hhc":
                        title = re.search(r"<title>(.*?)</title>", text, re.S | re.I)
                        self.assertIsNotNone(title, local)
                        self.assertEqual(html.unescape(title.group(1).strip()), name, local)
                        self.assertIn("charset=gb2312", text.lower(), local)
                        body = re.sub(r"<[^>]+>", "", text.split("</head>", 1)[-1])
                        self.assertGreater(len(body.strip()), 150, "%s is nearly empty" % local)

    def test_every_page_of_the_project_is_a_topic_and_every_link_leads_somewhere(self):
        topics = {l for _, l in sitemap_entries(self.page_text("help.hhc")) if l}
        pages = sorted(f for f in os.listdir(self.out) if f.endswith(".htm"))
        self.assertEqual(sorted(topics), pages, "a page outside the contents, or a topic without a page")
        for page in pages:
            text = self.page_text(page)
            for link in re.findall(r'(?:href|src)="([^"#]+)', text, re.I):
                if re.match(r"[a-z]+:", link, re.I):
                    continue
                with self.subTest(page=page, link=link):
                    self.assertIsNotNone(self.inside(link), "%s links to %s, which is missing" % (page, link))

    def test_quoted_messages_are_the_programs_own(self):
        program = []
        for folder in ("client", "dialengine", "updater"):
            for root, _, files in os.walk(os.path.join(ARGS.source, folder)):
                if os.path.basename(root) == "help":
                    continue
                for f in files:
                    if f.endswith((".cpp", ".h", ".rc")):
                        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as src:
                            program.append(src.read())
        # A line break written into a literal ("\n") is no break in the text the help quotes.
        program = re.sub(r"\\[rn]", "", "\n".join(program))
        quoted = 0
        for page in sorted(f for f in os.listdir(self.out) if f.endswith(".htm")):
            text = self.page_text(page)
            for message in re.findall(r'class="msg">(.*?)</', text, re.S):
                message = html.unescape(message).strip("“”")
                quoted += 1
                for part in filter(None, (p.strip() for p in message.split("……"))):
                    with self.subTest(page=page, message=part):
                        self.assertTrue(part in program, "%s quotes a text the program never shows" % page)
        self.assertGreater(quoted, 20)

    def test_the_common_dial_errors_are_explained_and_indexed(self):
        errors = self.page_text("dial-errors.htm")
        index = {n for n, _ in sitemap_entries(self.page_text("help.hhk"))}
        for code in DIAL_ERRORS:
            with self.subTest(code=code):
                self.assertRegex(errors, r"<td>%s</td>" % code)
                self.assertIn(code, index)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--chm", required=True)
    parser.add_argument("--source", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
