#!/usr/bin/env python3
"""Writes the long seeds of the property-list and feed corpora (each under
1 MB): lists of tens of thousands of items in both property-list forms,
binary lists whose shared objects stand for far more than their bytes (a
list of kilobytes that would build gigabytes once copied out, and ones that
build a few megabytes), and Atom feeds with declarations at and far past the
bound, tens of thousands of tiny or terse entries, an entry of a hundred thousand empty elements, an
element with too many attributes, a start tag of "=" only, and pieces of
markup longer than the feed reader takes.

    python3 fuzz/make_long_seeds.py      (from the top of the checkout)
"""
import os
import plistlib

here = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(here, folder, name)
    with open(path, "wb") as f:
        f.write(data)
    assert len(data) < 1 << 20, name


def plist_seeds():
    # A Project.plist whose three sound lists hold 100,000 values each.
    project = {
        "Version": 104,
        "FrameLayCount": 2,
        "AnimationSpeed": 0.5,
        "SoundTagViewPoints": [49.0 + (i % 331) * 0.5 for i in range(100000)],
        "soundTagViewFrame": [1 + i % 300 for i in range(100000)],
        "SoundNameArray": ["Rec%d.caf" % (i % 500) for i in range(50000)],
    }
    write("corpus_plist", "long-sound-lists-100000.bplist", plistlib.dumps(project, fmt=plistlib.FMT_BINARY))
    # The same as text, shorter to stay small.
    text = dict(project, SoundTagViewPoints=project["SoundTagViewPoints"][:40000],
                soundTagViewFrame=[], SoundNameArray=[])
    write("corpus_plist", "long-sound-list-40000.plist", plistlib.dumps(text))
    # A preferences file listing 50,000 projects (and one of them twice).
    names = ["p%d" % i for i in range(50000)] + ["p7"]
    write("corpus_plist", "long-project-list-50000.bplist",
          plistlib.dumps({"ProjectsNameArray": names, "CurProjectName": "p1"}, fmt=plistlib.FMT_BINARY))


def shared_seeds():
    # The binary writer stores an object once however often it is referred
    # to, so these stay small while their readers would copy each reference.
    def binary(value):
        return plistlib.dumps(value, fmt=plistlib.FMT_BINARY)

    # 1,000 references to an array of 2,000 references to one 16 KB data:
    # 19 KB that would build 32 GB.
    inner = [bytes(range(256)) * 64] * 2000
    write("corpus_plist", "shared-data-2000000-copies.bplist", binary({"ImagesArray": [inner] * 1000}))
    # One 1 KB string, two million times over, in a few kilobytes.
    names = ["n" * 1024] * 1000
    write("corpus_plist", "shared-string-2000000-copies.bplist", binary({"ProjectsNameArray": [names] * 2000}))
    # A frame record shared by 3,000 frames: a project of 2 MB, read.
    frame = {"IconName": "I1", "LaysArray": ["L1a", "L1b"], "kFrameInfo": 1, "kReapeatNumber": 0}
    layers = {"L1a": {"LayPosition": 1, "RefPageArray": [1]}, "L1b": {"LayPosition": 2, "RefPageArray": [1]}}
    write("corpus_plist", "shared-frame-3000-times.bplist",
          binary({"Version": 104, "FrameLayCount": 2, "ImagesArray": [frame] * 3000, "LaysDictionary": layers}))
    # A dictionary of 100 entries shared by the 100 entries of another.
    page = {"p%d" % i: "v" * 200 for i in range(100)}
    write("corpus_plist", "shared-dictionary-100-by-100.bplist",
          binary({"k%d" % i: page for i in range(100)}))


FEED = '<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"'


def declarations(first, count):
    return "".join(' xmlns:p%d="urn:p:%d"' % (i, i) for i in range(first, first + count))


def feed_seeds():
    at_bound = (FEED + declarations(0, 254) + "><title>t</title>"
                + "".join("<p%d:x a=\"%d\"/>" % (i % 254, i) for i in range(2000))
                + "".join("<entry><title>e</title><p%d:y/></entry>" % (i % 254) for i in range(2000))
                + "</feed>")
    write("corpus_feed", "declarations-at-the-bound.xml", at_bound.encode())
    past = FEED + declarations(0, 30000) + "><entry/></feed>"
    write("corpus_feed", "declarations-30000.xml", past.encode())
    nested = FEED + declarations(0, 200) + ">" + "".join(
        "<entry" + declarations(200, 54) + "><p210:x/></entry>" for _ in range(50)) + "</feed>"
    write("corpus_feed", "declarations-adding-up-by-nesting.xml", nested.encode())
    tiny = FEED + ">" + "<entry><title>t</title></entry>" * 30000 + "</feed>"
    write("corpus_feed", "tiny-entries-30000.xml", tiny.encode())
    attributes = FEED + "><entry" + "".join(' a%d=""' % i for i in range(300)) + "/></feed>"
    write("corpus_feed", "attributes-300.xml", attributes.encode())
    equal_signs = FEED + "><entry " + "=" * 200000 + "/></feed>"
    write("corpus_feed", "equal-signs-tag.xml", equal_signs.encode())
    terse = FEED + ">\n" + ("<entry>" + '<link href="a"/>' * 5 + "</entry>\n") * 5000 + "</feed>\n"
    write("corpus_feed", "terse-entries-5000.xml", terse.encode())
    empty_elements = FEED + ' xmlns:x="urn:x"><entry>' + "<x:e/>" * 100000 + "</entry></feed>"
    write("corpus_feed", "entry-of-empty-elements.xml", empty_elements.encode())
    # Pieces of markup too long for the feed to be read entry by entry: an
    # address, a comment, a character data section, a processing instruction.
    fill = "a>" * 50000
    long_markup = (FEED + "><entry><link href=\"" + fill + "\"/></entry>"
                   + "<entry><!--" + fill + "--><title>t</title></entry>"
                   + "<entry><title><![CDATA[" + fill + "]]></title></entry>"
                   + "<entry><?note " + fill + "?></entry></feed>")
    write("corpus_feed", "long-markup.xml", long_markup.encode())


plist_seeds()
shared_seeds()
feed_seeds()
