#!/usr/bin/env python3
"""Writes the text seeds of the fuzz targets from what the installer really
reads: the skins and the framework tests' skins (markup, layout, image and
attribute strings, inline texts) and the report server's answers (JSON),
plus hand-made cases the parsers must refuse or bound.

    python3 tests/fuzz/make_text_seeds.py      (from the repository root)

The output under tests/fuzz/corpus is committed; run this again only to
change the seeds. Regression inputs of faults found by fuzzing are written
by hand and kept beside these (corpus/<target>/regress-*).
"""
import pathlib
import re
import runpy

ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = ROOT / "tests" / "fuzz" / "corpus"
SKINS = sorted((ROOT / "skin" / "xml").glob("*.xml")) + sorted((ROOT / "tests" / "ui" / "core_window" / "data").glob("*.xml"))


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))


def attributes(text):
    return re.findall(r'([A-Za-z]+)="([^"]*)"', text)


def unescape(value):
    return (value.replace("&quot;", '"').replace("&lt;", "<").replace("&gt;", ">")
            .replace("&apos;", "'").replace("&amp;", "&"))


def json_seeds():
    answers = runpy.run_path(str(ROOT / "tools" / "servers" / "api_server.py"))["ANSWERS"]
    for name, (_, body) in answers.items():
        write("fuzz_json", "answer-" + name, body)
    write("fuzz_json", "answer-sign-error", b'{"success":0,"msg":"sign error"}')
    cases = {
        "numbers": b'{"success":-9223372036854775808,"a":18446744073709551616,"b":1e308,"c":-0.0e-5,"d":[0,-0,1.5E+3]}',
        "escapes": b'{"success":"a\\"b\\\\c\\/d\\b\\f\\n\\r\\t\\u0041\\u00e9\\u4e2d\\ud83d\\ude00\\q"}',
        "nested": b'{"data":{"list":[{"success":1},[],{}],"x":null,"t":true,"f":false},"SUCCESS":"2"}',
        "deep-511": b"[" * 511 + b"]" * 511,
        "deep-520-unclosed": b"[" * 520,
        "broken-surrogate": b'{"success":"\\ud83d\\u0041"}',
        "whitespace": b'\x01\t\r\n {\n "success" \t:\r 1 \n} trailing',
        "nul-inside": b'{"success":"a\\u0000b","x":"\x00"}',
    }
    for name, body in cases.items():
        write("fuzz_json", name, body)


def markup_seeds():
    # The first byte picks the encoding: 0 UTF-8, 1 UTF-16 (with a mark), 2 ANSI.
    for path in SKINS:
        write("fuzz_xml_markup", "skin-" + path.name, b"\x00" + path.read_bytes())
    setup = (ROOT / "skin" / "xml" / "setup_139.xml").read_text(encoding="utf-8")
    write("fuzz_xml_markup", "utf16be-setup", b"\x01\xfe\xff" + setup.encode("utf-16-be"))
    write("fuzz_xml_markup", "utf8-bom", b"\x00\xef\xbb\xbf<Window a=\"\xe4\xb8\xad\"><Label/></Window>")
    write("fuzz_xml_markup", "ansi-latin1", b"\x02<Window text=\"caf\xe9\"><Label>\xa0</Label></Window>")
    cases = {
        "entities": '<a t="&amp;&lt;&gt;&quot;&apos;&unknown;&#65;&amp" u="x">a &amp; b &lt;c&gt;<b/>tail</a>',
        "cdata": "<a><![CDATA[ <b>not markup</b> ]]><c x=\"1\"/><![CDATA[]]></a>",
        "comments": '<?xml version="1.0"?><!-- c --><!DOCTYPE a><a><!-- <b/> --><?pi x?><b/></a><!-- end',
        "deep-255": "<a>" * 255 + "</a>" * 255,
        "deep-257": "<a>" * 257 + "</a>" * 257,
        "attrs-70": "<a " + " ".join('n%d="%d"' % (i, i) for i in range(70)) + "/>",
        "unclosed": '<Window><VerticalLayout><Label text="x">',
        "mismatched": "<a><b></c></a>",
        "spaces": '< a  x = "1"  y="2" / >< b >t</ b >',
    }
    for name, text in cases.items():
        write("fuzz_xml_markup", name, b"\x00" + text.encode("utf-8"))


def layout_seeds():
    # Flag byte: 1 manager, 2 window, 4 parent to build into, 8 callback, 16 parent is a tree;
    # then skins separated by zero bytes (Include source="N" names the N-th).
    for path in SKINS:
        write("fuzz_layout", "skin-" + path.stem, b"\x0b" + path.read_bytes())
    part = b'<Part><Font id="9" name="F"/><Label name="inc" text="p"/><Button/></Part>'
    write("fuzz_layout", "include-count",
          b'\x0f<Window><VerticalLayout><Include source="1" count="3"><Label/></Include>'
          b'<Include source="2"/><Include count="2"/><Label name="last"/></VerticalLayout></Window>\x00' + part)
    write("fuzz_layout", "include-text",
          b'\x0b<Window><HBox><Include source="&lt;P&gt;&lt;Label/&gt;&lt;/P&gt;"/></HBox></Window>')
    write("fuzz_layout", "include-loop",
          b'\x0b<Window><VBox><Include source="1"/></VBox></Window>\x00<Part><Label/><Include source="1"/></Part>')
    write("fuzz_layout", "defaults-covers-trees",
          b'\x1f<Window size="10,10"><Default name="Button" value="width=&quot;40&quot; text=&quot;{b}d{/b}&quot;"/>'
          b'<Image name="i" restype="png" mask="#FFFF00FF"/><MultiLanguage id="7" value="Hello"/>'
          b'<Container><Control cover="true"/><Button bkimage="res=\'1\' source=\'0,0,1,1\'"/>'
          b'<TreeView><TreeNode><TreeNode/></TreeNode></TreeView><MovingContainer><Label/></MovingContainer>'
          b'<FullContainer><Label/></FullContainer><TreeNode/><Fancy><Label/></Fancy></Container></Window>')


def attribute_seeds():
    images, lists, texts = set(), set(), set()
    for path in SKINS:
        for name, value in attributes(path.read_text(encoding="utf-8")):
            value = unescape(value)
            if name.endswith("image"):
                images.add(value)
            elif name == "value":
                lists.add(value)
            elif name in ("text", "tooltip"):
                texts.add(value)
    images |= {"res='146' restype='png' source='560,0,565,69' xtiled='true' corner='4,4,4,4' mask='#FFFF00FF' "
               "fade='300' hole='true' dest='1,2,3,4' ytiled='false' hsl='true' scale9='1,1,1,1'",
               "file='a.png' color='#80FF0000'", "plain-name.png", "color='#FF000000' restype='*COLOR*'"}
    lists |= {'width="40" height="20" text="dflt"', 'bkcolor="#FF000000" text="a b" normalimage="res=\'1\'"',
              'a="1"  b="2"', 'x="unclosed'}
    texts |= {"see {a=x}the {b}site{/b}{/a}{n}{c=#FF102030}{f=2}t{/f}{/c} {{ {i}{u}x",
              "{c=FF0000}red{/c}{c=#12345678}{/c}{f=12345}{a}{a=y}{/a}{/u}{x}"}
    for i, value in enumerate(sorted(images)):
        write("fuzz_image_attr", "skin-%02d" % i, value)
    for i, value in enumerate(sorted(lists)):
        write("fuzz_attr_list", "list-%02d" % i, value)
    for i, value in enumerate(sorted(texts)):
        write("fuzz_inline_markup", "text-%02d" % i, value)


def zip_name_seeds():
    names = ["bin/Corvina.exe", "res\\win\\style.txt", "a/./b.txt", "a//b.txt", "..", "../", ".. /evil.txt",
             "file.txt:hidden", "\\\\.\\C:\\evil.txt", "//server/share/evil.txt", "sub/AUX.dat", "lpt1",
             "COM\xb9.txt", "conin$", "nul .zip", "dir/trailing. ", "d" * 120 + "/" + "f" * 134]
    for i, name in enumerate(names):
        write("fuzz_zip_name", "name-%02d" % i, name.encode("latin-1"))


if __name__ == "__main__":
    json_seeds()
    markup_seeds()
    layout_seeds()
    attribute_seeds()
    zip_name_seeds()
