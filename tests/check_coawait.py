#!/usr/bin/env python3
"""Checks two rules for C++20 coroutines (Task functions and lambdas):
1. co_await stays out of the condition of if, while, for (all clauses) and switch, and is no
   operand of &&, ||, or ?: (even through parentheses or a function call). Await in a statement
   of its own, an initialisation or an assignment instead: const bool ok = co_await f();
   GCC 12 miscompiles the other places: it resumes a dead frame.
2. A lambda with a non-empty capture list has no co_await, co_return or co_yield in its own body
   (inner lambdas excluded): its captures live in the lambda object, not in the coroutine frame.
Usage: check_coawait.py [--root DIR] [FILES...] | --self-test. Exit 1 with a list of breaches."""
import argparse
import bisect
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "coawait_samples")
SCANNED = ("src", "tools", "tests", "bench")
TOKEN = re.compile(r"[A-Za-z_]\w*|\d[\w.]*|\.\.\.|->|::|&&|\|\||<<=|>>=|[-+*/%&|^!=<>]=|\S")
ASSIGN = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
CONDITIONS = {"if", "while", "for", "switch"}
COROUTINE = {"co_await", "co_return", "co_yield"}
WHY = "GCC 12 resumes a dead frame; await first, into a variable"
# Words after which '[' opens a lambda rather than a subscript.
EXPR_WORDS = {"return", "co_return", "co_await", "co_yield", "throw", "case", "else", "do",
              "and", "or", "not"}
LAMBDA_SPECIFIERS = {"mutable", "constexpr", "consteval", "static", "noexcept"}
# Words after which '{' opens a block (or a function body) rather than a braced initialiser.
BLOCK_WORDS = {"else", "do", "try", "const", "override", "final", "noexcept", "mutable"}


def blank(text):
    """Spaces for every character of text but its line breaks."""
    return re.sub(r"[^\n]", " ", text)


def strip(text):
    """The text with comments, preprocessor lines and literals blanked, each character kept in
    place (so offsets and lines still hold). A string or character literal becomes a 0."""
    out, i, n, line_start = [], 0, len(text), True
    while i < n:
        c, end, word = text[i], None, ""
        if c in "\"'":  # the literal's prefix, or the number before a digit separator
            word = re.search(r"\w*$", text[max(0, i - 64):i]).group()
        if line_start and c == "#":  # a directive, with its continuation lines
            end = i
            while end < n and (text[end] != "\n" or text[end - 1] == "\\"
                               or text[end - 2:end] == "\\\r"):
                end += 1
            out.append(blank(text[i:end]))
        elif text.startswith("//", i):
            end = text.find("\n", i) % (n + 1)  # to the line's end (or the text's)
            out.append(blank(text[i:end]))
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(blank(text[i:end]))
        elif c == "'" and word[:1].isdigit():  # digit separator: 1'000
            out.append("_")
            i += 1
        elif c in "\"'":
            if c == '"' and word in ("R", "u8R", "uR", "UR", "LR"):  # R"delim(...)delim"
                delim = text[i + 1:text.find("(", i)]
                end = text.find(")" + delim + '"', i)
                end = n if end < 0 else end + len(delim) + 2
            else:
                end = i + 1
                while end < n and text[end] not in (c, "\n"):
                    end += 2 if text[end] == "\\" else 1
                end = min(end + 1, n)
            out.append("0" + blank(text[i + 1:end]))
        else:
            line_start = c == "\n" or (line_start and c in " \t")
            out.append(c)
            i += 1
        if end is not None:
            i = end
    return "".join(out)


class Source:
    """Tokens of one file with their lines, bracket pairs and enclosing brackets."""

    def __init__(self, text):
        code = strip(text)
        breaks = [m.start() for m in re.finditer("\n", code)]
        found = list(TOKEN.finditer(code))
        self.text = text
        self.toks = [m.group() for m in found] + [";"]  # a sentinel ends the last statement
        self.starts = [m.start() for m in found] + [len(code)]
        self.lines = [bisect.bisect(breaks, at) + 1 for at in self.starts]
        self.match, self.parent, stack = {}, [], []
        for i, t in enumerate(self.toks):
            self.parent.append(stack[-1] if stack else None)
            if t in "([{":
                stack.append(i)
            elif t in ")]}" and stack:
                self.match[stack[-1]] = i
                self.match[i] = stack.pop()
        self.lambdas = [lam for lam in map(self.lambda_at, range(len(self.toks))) if lam]
        self.bodies = {body for _, _, body in self.lambdas}

    def tok(self, i):
        return self.toks[i] if 0 <= i < len(self.toks) else ";"

    def lambda_at(self, i):
        """(open, close, body) of the lambda whose capture list opens at i, else None."""
        t, prev = self.toks, self.tok(i - 1)
        if t[i] != "[" or i not in self.match or "[" in (prev, self.tok(i + 1)):
            return None  # no bracket, or an attribute [[...]]
        if prev in (")", "]") or (prev[0].isalnum() or prev[0] == "_") and prev not in EXPR_WORDS:
            return None  # a subscript or a structured binding
        k = self.match[i] + 1
        if self.tok(k) == "<":  # template parameters
            k = t.index(">", k) + 1 if ">" in t[k:] else k
        if self.tok(k) == "(":
            k = self.match.get(k, k) + 1
        while self.tok(k) in LAMBDA_SPECIFIERS or self.tok(k) == "[":
            k = self.match.get(k, k) + 1 if self.tok(k) == "[" else k + 1  # [[attr]]
            if self.tok(k) == "(":
                k = self.match.get(k, k) + 1
        if self.tok(k) in ("->", "requires"):  # trailing return type, constraint
            while self.tok(k) not in ("{", ";", "}", ")", "]"):
                k = self.match.get(k, k) + 1 if t[k] == "(" else k + 1
        return (i, self.match[i], k) if self.tok(k) == "{" and k in self.match else None

    def is_block(self, brace):
        """Whether the '{' at brace opens a block or body rather than a braced initialiser."""
        prev = self.tok(brace - 1)
        return brace in self.bodies or prev in BLOCK_WORDS or prev in (")", ";", "{", "}", ":")

    def segment(self, at):
        """Bounds (first, last) of the comma/statement-separated part around at, one level."""
        lo, hi = at, self.match.get(at, at) if self.toks[at] in "([{" else at
        while lo > 0:
            t = self.toks[lo - 1]
            if t in (",", ";", "(", "[", "{") or lo - 1 not in self.match and t in ")]}":
                break
            if t == "}" and self.is_block(self.match[lo - 1]):
                break
            lo = self.match[lo - 1] if t in ")]}" else lo - 1
        while True:
            t = self.tok(hi + 1)
            if t in (",", ";", ")", "]", "}") or (t == "{" and self.is_block(hi + 1)):
                break
            hi = self.match.get(hi + 1, hi + 1) if t in "([{" else hi + 1
        return lo, hi

    def operator_in(self, lo, hi):
        """The first &&, ||, or ?: among lo..hi at their level (nested groups skipped)."""
        at, j = [], lo
        while j <= hi:
            at.append(j)
            j = self.match.get(j, j) + 1 if self.toks[j] in "([{" else j + 1
        for n, j in enumerate(at):
            t = self.toks[j]
            if t in ("||", "or", "?"):
                return "?:" if t == "?" else "||"
            # T &&x = ..., Foo<T &&> and f(T &&) declare; a && b is logical.
            if t in ("&&", "and") and self.tok(j + 1) not in (">", ")", ",", "...", "=", ";") \
                    and not any(self.toks[k] in ASSIGN for k in at[n + 1:]):
                return "&&"
        return None


def inside(i, ranges):
    return any(a < i < b for a, b in ranges)


def check(text):
    """(line, message) of each breach of the two rules in the text of one source file."""
    src, found, flagged = Source(text), [], set()
    t = src.toks
    bodies = [(b, src.match[b]) for b in sorted(src.bodies)]
    for i, word in enumerate(t):  # rule 1: conditions
        if word not in CONDITIONS:
            continue
        k = i + 1 + (src.tok(i + 1) == "constexpr")
        if src.tok(k) != "(" or k not in src.match:
            continue
        inner = [b for b in bodies if k < b[0] < src.match[k]]  # lambda bodies in the condition
        for j in range(k + 1, src.match[k]):
            if t[j] == "co_await" and not inside(j, inner):
                flagged.add(j)
                found.append((src.lines[j], f"co_await in the condition of '{word}': {WHY}"))
    for i, word in enumerate(t):  # rule 1: operands of &&, ||, ?:
        if word != "co_await" or i in flagged:
            continue
        at = i
        while True:
            op = src.operator_in(*src.segment(at))
            if op:
                found.append((src.lines[i], f"co_await as an operand of '{op}': {WHY}"))
                break
            level = src.parent[at]
            if level is None or (t[level] == "{" and src.is_block(level)):
                break
            at = level
    for start, close, body in src.lambdas:  # rule 2: capturing coroutine lambdas
        inner = [b for b in bodies if body < b[0] < src.match[body]]
        own = [j for j in range(body + 1, src.match[body]) if t[j] in COROUTINE]
        if close > start + 1 and any(not inside(j, inner) for j in own):
            captures = " ".join(src.text[src.starts[start] + 1:src.starts[close]].split())
            found.append((src.lines[start], f"coroutine lambda with captures [{captures}]: they "
                          "live in the lambda object, not the frame, and dangle once it is gone; "
                          "capture nothing, pass parameters"))
    return sorted(found)


def check_file(path, shown, quiet=False):
    with open(path, encoding="utf-8", errors="replace") as f:
        breaches = check(f.read())
    for line, message in [] if quiet else breaches:
        print(f"{shown}:{line}: {message}")
    return len(breaches)


def tree_files(root):
    """(path, shown path) of every source file of the tree but the samples."""
    samples = os.path.abspath(os.path.join(root, "tests", "coawait_samples"))
    for top in SCANNED:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if os.path.abspath(os.path.join(folder, d)) != samples)
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(folder, name)
                    yield path, os.path.relpath(path, root)


def self_test():
    """Each bad sample must give the count of its '// expect: N' line, good.cpp none."""
    names = sorted(n for n in os.listdir(SAMPLES) if n.endswith((".cpp", ".h")))
    failures = 0 if "good.cpp" in names else 1
    for name in names:
        path = os.path.join(SAMPLES, name)
        with open(path, encoding="utf-8") as f:
            expect = re.search(r"^//\s*expect:\s*(\d+)", f.read(), re.M)
        wanted = 0 if name == "good.cpp" else int(expect.group(1)) if expect else None
        if not wanted and name != "good.cpp":
            print(f"{name}: a bad sample needs an '// expect: N' line with N > 0")
            failures += 1
            continue
        # The planted breaches are the point of a sample: only a wrong count is worth a line.
        got = check_file(path, name, quiet=True)
        if got != wanted:
            print(f"{name}: {got} found, {wanted} expected")
        failures += got != wanted
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(HERE), help="repository root")
    parser.add_argument("--self-test", action="store_true", help="check the samples' counts")
    parser.add_argument("files", nargs="*", help="files to check instead of the tree")
    args = parser.parse_args()
    if args.self_test:
        return 1 if self_test() else 0
    files = [(f, f) for f in args.files] or tree_files(args.root)
    total = sum(check_file(path, shown) for path, shown in files)
    return 1 if total else 0


if __name__ == "__main__":
    sys.exit(main())
