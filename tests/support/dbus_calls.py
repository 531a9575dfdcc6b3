#!/usr/bin/env python3
"""Reads a dbus-monitor log and prints, one line each, the method calls to an interface.

    dbus_calls.py LOG INTERFACE

Each line is the member, its arguments (arrays as [a|b], dictionaries as {k=v;k=v}, sorted) and,
after " -> ", the reply's values or the error's name.
"""
import re
import sys

HEADER = re.compile(r"^(method call|method return|error|signal) ")
SCALAR = re.compile(r"^(string|uint32|int32|uint64|int64|boolean|byte|double|object path) (.*)$")


def parse_values(lines, i):
    """Values from lines[i:], up to end_token; returns (values, next index)."""
    values = []
    while i < len(lines):
        line = lines[i].strip()
        i += 1
        if line in ("]", ")"):
            return values, i
        if line.startswith("variant"):
            line = line[len("variant"):].strip()
        if line == "array [":
            inner, i = parse_values(lines, i)
            values.append(inner)
        elif line == "dict entry(":
            inner, i = parse_values(lines, i)
            values.append(tuple(inner))
        else:
            m = SCALAR.match(line)
            if m:
                text = m.group(2)
                if m.group(1) in ("string", "object path"):
                    text = text[1:-1]
                values.append(text)
    return values, i


def show(value):
    if isinstance(value, list):
        if value and all(isinstance(v, tuple) for v in value):
            return "{" + ";".join(sorted("%s=%s" % (k, show(v)) for k, v in value)) + "}"
        return "[" + "|".join(show(v) for v in value) + "]"
    return str(value)


def messages(path):
    current = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if HEADER.match(line):
                if current:
                    yield current
                fields = dict(re.findall(r"(\w+)=([^ ;]+)", line))
                current = {"kind": HEADER.match(line).group(1), "fields": fields, "body": []}
            elif current is not None:
                current["body"].append(line)
    if current:
        yield current


def main():
    path, interface = sys.argv[1], sys.argv[2]
    calls, replies = [], {}
    for m in messages(path):
        f = m["fields"]
        args, _ = parse_values(m["body"], 0)
        if m["kind"] == "method call" and f.get("interface") == interface:
            calls.append((f.get("sender"), f.get("serial"), f.get("member"), args))
        elif m["kind"] in ("method return", "error"):
            answer = " ".join(show(a) for a in args) if m["kind"] == "method return" else f.get("error_name")
            replies[(f.get("destination"), f.get("reply_serial"))] = answer
    for sender, serial, member, args in calls:
        line = member + " " + " ".join(show(a) for a in args)
        answer = replies.get((sender, serial))
        print(line.rstrip() + (" -> " + answer if answer else ""))


if __name__ == "__main__":
    main()
