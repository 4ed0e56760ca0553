#!/usr/bin/env python3
"""Checks the skins and pictures as they sit in the source tree, before any
resource compiler sees them:

- every skin is UTF-8 XML that the framework's small parser accepts (double
  quotes only, no text after a child element, no character references), with
  a Window root and the controls its window looks up by name;
- the resource script carries every skin and every picture a skin or window
  names, each file exists, and each picture has the size its window expects;
- the committed PNGs were rendered from the committed SVG sources.

Usage: check_skins.py <source root>
"""
import hashlib
import os
import re
import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree

ROOT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
SKIN = os.path.join(ROOT, "skin")

# Picture sizes the windows are laid out for.
PICTURE_SIZES = {
    143: (597, 332), 148: (597, 332), 150: (597, 332), 174: (597, 332),
    164: (647, 449), 184: (70, 16), 152: (372, 28),
    153: (15, 15), 154: (15, 15), 155: (15, 15),
    156: (88, 28), 157: (88, 28), 158: (88, 28),
    147: (597, 93), 144: (564, 15), 146: (569, 69),
    159: (140, 35), 160: (140, 35), 161: (140, 35),
    172: (130, 20), 173: (130, 20),
    181: (711, 462), 182: (117, 61), 183: (348, 41),
    178: (181, 66), 179: (181, 66), 180: (181, 66),
    185: (5, 5), 186: (18, 5),
}
# Pictures the code names (carousel slides and marks, the run toggle)
# besides those the skins name.
CODE_PICTURES = {148, 143, 150, 174, 146, 172, 173, 185, 186}
# Controls each window looks up by name.
REQUIRED_NAMES = {
    139: {"topBgLayout", "layoutStart", "txtDir", "btnBrowse", "btnNext", "layoutSetup", "txtPercentage",
          "lblProgress", "lblStatus", "layoutFinish", "btnFinish"},
    163: {"btnExit", "text", "btnOk"},
    177: {"TextSetName", "btnSetName"},
}
SKIN_IDS = {132, 139, 163, 177}

RESOURCE_LINE = re.compile(r'^\s*(\d+)\s+(XML|PNG|PNG2X)\s+"([^"]+)"\s*$')
TAG = re.compile(r"<([A-Za-z_:][\w:]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*)/?>")
ATTRIBUTE = re.compile(r'\s*([\w:]+)\s*=\s*"[^"]*"')
PICTURE_REFERENCE = re.compile(r"\bres='(\d+)'")


def resources():
    """(type, id) -> path, from the resource script the build compiles."""
    found = {}
    with open(os.path.join(SKIN, "skins.rc"), encoding="utf-8") as script:
        for line in script:
            match = RESOURCE_LINE.match(line)
            if match:
                key = (match.group(2), int(match.group(1)))
                if key in found:
                    raise AssertionError("resource %s %d listed twice" % key[::-1])
                found[key] = os.path.join(SKIN, match.group(3))
    return found


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError("%s is not a PNG" % path)
    return struct.unpack(">II", head[16:24])


class SkinTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.resources = resources()
        cls.skins = {}
        for (kind, number), path in cls.resources.items():
            if kind == "XML":
                with open(path, "rb") as skin:
                    cls.skins[number] = skin.read()

    def test_the_four_skins_are_carried(self):
        self.assertEqual(set(self.skins), SKIN_IDS)

    def test_skins_are_utf8_xml_the_framework_parser_accepts(self):
        for number, data in self.skins.items():
            with self.subTest(skin=number):
                text = data.decode("utf-8")  # strict: a stray ANSI byte fails here
                root = ElementTree.fromstring(data)
                self.assertEqual(root.tag, "Window")
                self.assertNotIn("&#", text, "numeric character references are not decoded")
                self.assertNotIn("<![CDATA[", text)
                for tag in TAG.finditer(text):
                    rest = tag.group(2).rstrip("/ \t\r\n")
                    self.assertEqual(ATTRIBUTE.sub("", rest).strip(), "",
                                     "only name=\"value\" pairs in <%s%s>" % (tag.group(1), tag.group(2)))
                # The parser takes text only before an element's first child.
                for element in root.iter():
                    for child in element:
                        self.assertFalse((child.tail or "").strip(), "text after <%s>" % child.tag)

    def test_skins_name_the_controls_their_windows_look_up(self):
        for number, names in REQUIRED_NAMES.items():
            with self.subTest(skin=number):
                root = ElementTree.fromstring(self.skins[number])
                present = {element.get("name") for element in root.iter() if element.get("name")}
                self.assertFalse(names - present, "controls missing")

    def test_fonts_are_the_six_shared_ones(self):
        expected = [("0", "16", "false"), ("1", "13", "true"), ("2", "13", "false"), ("3", "13", "false"),
                    ("4", "14", "false"), ("5", "17", "false")]
        for number in (139, 163, 177):
            with self.subTest(skin=number):
                fonts = [font for font in ElementTree.fromstring(self.skins[number]) if font.tag == "Font"]
                self.assertEqual([(f.get("id"), f.get("size"), f.get("bold")) for f in fonts], expected)
                for font in fonts:
                    self.assertEqual(font.get("name"), "微软雅黑")
                    self.assertEqual(font.get("shared"), "true")

    def test_every_picture_named_is_carried_at_its_size(self):
        named = set(CODE_PICTURES)
        for data in self.skins.values():
            named |= {int(n) for n in PICTURE_REFERENCE.findall(data.decode("utf-8"))}
        single = {number for kind, number in self.resources if kind == "PNG"}
        double = {number for kind, number in self.resources if kind == "PNG2X"}
        self.assertFalse(named - double, "pictures named but not carried in the 2x set")
        self.assertFalse(single - double, "pictures without a 2x set: stretched at 200 %")
        for number in double:
            with self.subTest(picture=number):
                self.assertTrue(143 <= number <= 186)
                width, height = PICTURE_SIZES[number]
                self.assertEqual(png_size(self.resources[("PNG2X", number)]), (2 * width, 2 * height))
                if number in single:
                    self.assertEqual(png_size(self.resources[("PNG", number)]), (width, height))

    def test_pictures_match_their_sources(self):
        art = os.path.join(SKIN, "art")
        with open(os.path.join(SKIN, "images", "SOURCES.sha1"), encoding="utf-8") as record:
            recorded = dict(reversed(line.split()) for line in record if line.strip())
        current = {}
        for folder in ("", "states"):
            for name in os.listdir(os.path.join(art, folder)):
                if name.endswith((".svg", ".css")):
                    path = os.path.join(folder, name) if folder else name
                    with open(os.path.join(art, path), "rb") as source:
                        current[path] = hashlib.sha1(source.read()).hexdigest()
        self.assertEqual(current, recorded, "a source changed: run tools/render-art.sh and commit the PNGs")


if __name__ == "__main__":
    unittest.main(verbosity=2)
