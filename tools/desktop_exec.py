#!/usr/bin/python3
"""Prints the command of a desktop entry's Exec= key, one argument a line.

    desktop_exec.py ENTRY

Read as a desktop menu reads it (freedesktop.org desktop entries): first the
string escapes of the value, then the quoting of the arguments. A field code
(%f, %u...) is refused: Tagswap's entry passes no file to the program.
"""

import sys


def unescape_string(value):
    escapes = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}
    out, i = "", 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value) and value[i + 1] in escapes:
            out += escapes[value[i + 1]]
            i += 2
        else:
            out += value[i]
            i += 1
    return out


def split_arguments(command):
    arguments, current, quoted, escaped, started = [], "", False, False, False
    for c in command:
        if escaped:
            current, escaped = current + c, False
        elif quoted and c == "\\":
            escaped = True
        elif c == '"':
            quoted, started = not quoted, True
        elif c == " " and not quoted:
            if started or current:
                arguments.append(current)
            current, started = "", False
        elif c == "%":
            raise ValueError("a field code or a lone % in Exec=")
        else:
            current += c
    if quoted or escaped:
        raise ValueError("an unclosed quote in Exec=")
    if started or current:
        arguments.append(current)
    return arguments


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    with open(argv[1], encoding="utf-8") as entry:
        lines = [line.rstrip("\n") for line in entry]
    values = [line[len("Exec="):] for line in lines if line.startswith("Exec=")]
    if len(values) != 1:
        sys.exit(f"{argv[1]} has {len(values)} Exec= lines")
    try:
        arguments = split_arguments(unescape_string(values[0]).replace("%%", "\0"))
    except ValueError as error:
        sys.exit(f"{argv[1]}: {error}")
    print("\n".join(argument.replace("\0", "%") for argument in arguments))


if __name__ == "__main__":
    main(sys.argv)
