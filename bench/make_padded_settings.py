#!/usr/bin/env python3
"""Writes a settings file of about SIZE_MIB mebibytes made mostly of elements the reader
ignores and of comments, around a small real configuration.

    make_padded_settings.py FILE SIZE_MIB

The padding sits in three places: inside "jvm" after its option, inside "server" after
its parameter, and directly inside "setting", so that every state the reader passes
through sees ignored content. No token is large: Expat holds a whole token (a comment, a
start tag) in memory, and the point is what the reader keeps, not the size of one token.
SIZE_MIB 0 gives the same configuration without padding (the "empty run").
"""
import sys

BLOCK = """\
  <!-- block {n}: notes kept beside the settings. The reader skips comments, and this
       one only makes the file large, as years of hand edits and history would. -->
  <metadata id='{n}' owner='operations' updated='2024-05-01T12:00:00Z'>
    <entry key='retention'>30 days</entry>
    <entry key='contact'>operations@example.org</entry>
    <note>Free text beside the configuration; nothing in the service reads it.</note>
  </metadata>
"""


def padding(out, target):
    """Writes blocks until `target` bytes have been written; returns the count."""
    written = 0
    n = 0
    pieces = []
    while written < target:
        block = BLOCK.format(n=n)
        pieces.append(block)
        written += len(block)
        n += 1
        if len(pieces) == 1000:
            out.write("".join(pieces))
            pieces = []
    out.write("".join(pieces))
    return written


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_padded_settings.py FILE SIZE_MIB")
    path, size = sys.argv[1], int(sys.argv[2]) * 1024 * 1024
    third = size // 3
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("<?xml version='1.0' encoding='UTF-8'?>\n<setting>\n")
        out.write("  <log stdout='logs/stdout.log' stderr='logs/stderr.log'/>\n")
        out.write("  <jvm dll_path='/usr/lib/jvm/default-java/lib/server/libjvm.so'"
                  " class_path='classes'>\n    <option>-Xmx512m</option>\n")
        padding(out, third)
        out.write("  </jvm>\n  <server class='app/ServerMain' start_method='start'"
                  " stop_method='stop'>\n")
        out.write("    <start_method_param>-config</start_method_param>\n")
        padding(out, third)
        out.write("  </server>\n")
        padding(out, size - 2 * third)
        out.write("</setting>\n")


if __name__ == "__main__":
    main()
