#!/usr/bin/env python3
"""How much of a page's text the engine shows, against a browser, on real documentation sets.

    tools/compare-text.py KORVA_RENDER [--sets build/doc-archives/sets.tsv] [--set NAME ...]
                          [--pages 40] [--width 1000] [--worst 8] [--json OUT.json]
    tools/compare-text.py KORVA_RENDER --diff [SET:]MEMBER [--keep DIR]

For a sample of pages of each set (built by scripts/make-doc-archives.sh; up to --pages pages,
evenly spread over the set's sorted page list, so the same pages every run) it takes
  - the engine's text: the line texts of `korva-render --dump --fixed-metrics --width W
    ARCHIVE MEMBER`;
  - the browser's text: document.body.innerText of the same page unpacked to a temporary
    folder, in headless Chromium at the same viewport width with the page's scripts disabled
    (tools/browser-text.js; tools/install-measuring-tools.sh installs what it needs).

Both texts are NFC-normalised and cut into words: runs of letters and digits (Unicode-aware;
white space, punctuation and symbols separate words). Runs of Han, kana or Hangul are cut into
character bigrams instead (a lone character counts as itself), since Japanese has no spaces.
Words are compared as multisets, without regard to case (the browser applies text-transform,
and a case slip is no lost text):
  recall     share of the browser's words that the engine shows
  precision  share of the engine's words that the browser shows
  non-ASCII  share of the browser's words holding a non-ASCII letter that the engine shows
             exactly (same case, same characters): this is where a wrong code page shows
Set figures add up the words of all sampled pages. Known faults (a UTF-8 page read as
Windows-1252, an XML declaration shown as text, SVG fallback text shown) are undone one after
the other and the words that stop being missed or extra are put down to them; the rest is
"unexplained". --diff shows, for one page, the words each side has that the other lacks.
Browser texts are cached (--cache) by archive, page and width.
"""

from __future__ import annotations

import argparse
import collections
import concurrent.futures
import fnmatch
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# ---- words ----

_CJK = (r"\u3040-\u30ff\u31f0-\u31ff\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff\uac00-\ud7af"
        r"\uff66-\uff9f\U00020000-\U0002fa1f")
_RUN = re.compile(rf"[{_CJK}]+|(?:(?![{_CJK}])[^\W_])+")
_CJK_RUN = re.compile(rf"[{_CJK}]")


def words(text: str) -> list[str]:
    """Words of a text: letter/digit runs, and character bigrams inside CJK runs."""
    text = unicodedata.normalize("NFC", text)
    out = []
    for m in _RUN.finditer(text):
        w = m.group(0)
        if _CJK_RUN.match(w):
            if len(w) == 1:
                out.append(w)
            else:
                out.extend(w[i:i + 2] for i in range(len(w) - 1))
        else:
            out.append(w)
    return out


def non_ascii(w: str) -> bool:
    return any(ord(c) > 127 and c.isalpha() for c in w)


# ---- the engine's side ----

_LINE = re.compile(r'^(\s*)line (\d+)\+(\d+) \S+ \S+ "((?:[^"\\]|\\.)*)"')
_ESC = re.compile(r'\\(u[0-9A-Fa-f]{4}|.)')


def _unquote(s: str) -> str:
    def rep(m):
        e = m.group(1)
        if e[0] == "u" and len(e) == 5:
            c = int(e[1:], 16)
            # Control characters in a line stand for objects, <br> and the like: a gap.
            return " " if c < 0x20 or c == 0x7F else chr(c)
        return e
    return _ESC.sub(rep, s)


def dump_text(dump: str) -> str:
    """The text of the lines of a layout dump, a line of text for each line of the dump, but for
    lines wrapped inside a CJK run or after a hyphen, which are joined as they stand."""
    out = []
    prev = None  # (indent, end offset, text)
    for raw in dump.splitlines():
        m = _LINE.match(raw)
        if not m:
            if raw.strip():
                prev = None
            continue
        indent, start, length = len(m.group(1)), int(m.group(2)), int(m.group(3))
        text = _unquote(m.group(4))
        # A line that carries on where the last one stopped is either a wrap inside a word or
        # a <br> (neither leaves a character in the text): only CJK text and hyphens wrap
        # without a space, so only those are joined.
        if (prev is not None and prev[:2] == (indent, start) and text and prev[2]
                and (prev[2][-1] == "-" or (_CJK_RUN.match(prev[2][-1]) and _CJK_RUN.match(text[0])))):
            out.append(text)
        else:
            out.append("\n" + text)
        prev = (indent, start + length, text)
    return "".join(out).lstrip("\n")


def engine_text(render: str, archive: str, member: str, width: int) -> tuple[str | None, str | None]:
    cmd = [render, "--dump", "--fixed-metrics", "--width", str(width), archive, member]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    try:
        p = subprocess.run(cmd, capture_output=True, timeout=120, env=env)
    except subprocess.TimeoutExpired:
        return None, "timed out"
    if p.returncode != 0:
        return None, f"exit {p.returncode}: {p.stderr.decode('utf-8', 'replace').strip()[:200]}"
    return dump_text(p.stdout.decode("utf-8", "replace")), None


# ---- the browser's side ----

def browser_texts(files: list[str], width: int, node_modules: str, pngs: dict | None = None) -> dict:
    jobs = {"width": width, "height": 800, "chromium": shutil.which("chromium") or "/usr/bin/chromium",
            "pages": [{"file": f, **({"png": pngs[f]} if pngs and f in pngs else {})} for f in files]}
    with tempfile.TemporaryDirectory() as tmp:
        jn, on = os.path.join(tmp, "jobs.json"), os.path.join(tmp, "out.json")
        with open(jn, "w") as fh:
            json.dump(jobs, fh)
        env = dict(os.environ, NODE_PATH=node_modules)
        subprocess.run(["node", os.path.join(HERE, "browser-text.js"), jn, on], check=True, env=env)
        with open(on) as fh:
            return {r["file"]: r for r in json.load(fh)}


# ---- sets and samples ----

def read_sets(path: str) -> list[dict]:
    sets = []
    with open(path, encoding="utf-8") as fh:
        for line in fh:
            f = line.rstrip("\n").split("\t")
            if len(f) >= 6:
                sets.append({"name": f[0], "kind": f[1], "lang": f[2], "archive": f[3], "root": f[4],
                             "pattern": f[5], "packages": f[6] if len(f) > 6 else ""})
    return sets


def set_pages(s: dict, names: list[str]) -> list[str]:
    root = s["root"].rstrip("/") + "/"
    return sorted(n for n in names
                  if n.startswith(root) and fnmatch.fnmatch(os.path.basename(n), s["pattern"]))


def sample(pages: list[str], n: int) -> list[str]:
    if len(pages) <= n:
        return pages
    return [pages[(2 * i + 1) * len(pages) // (2 * n)] for i in range(n)]


def archive_key(path: str) -> str:
    st = os.stat(path)
    return hashlib.sha1(f"{os.path.abspath(path)}:{st.st_size}:{st.st_mtime_ns}".encode()).hexdigest()[:16]


# ---- comparing ----

def compare(browser: str, engine: str) -> dict:
    bw, ew = words(browser), words(engine)
    bc = collections.Counter(w.casefold() for w in bw)
    ec = collections.Counter(w.casefold() for w in ew)
    common = sum((bc & ec).values())
    bn = [w for w in bw if non_ascii(w)]
    exact = collections.Counter(ew)
    nc = sum((collections.Counter(bn) & exact).values())
    return {"browser_words": len(bw), "engine_words": len(ew), "common": common,
            "nonascii_words": len(bn), "nonascii_exact": nc,
            "missing": bc - ec, "extra": ec - bc}


# ---- known causes ----
# Each known fault is undone on one side in turn and the page compared again: the words that stop
# being missing or extra are put down to that fault. What is left is unexplained.

def _misread(text: str) -> str:
    """The text as a reader that takes UTF-8 bytes for Windows-1252 would show it."""
    out = []
    for b in text.encode("utf-8"):
        try:
            out.append(bytes([b]).decode("cp1252"))
        except UnicodeDecodeError:
            out.append(chr(b))
    return "".join(out)


_MOJIBAKE = re.compile("[\u00c2-\u00ef][\u0080-\u00bf\u0152\u0153\u0160\u0161\u0178\u017d\u017e"
                       "\u0192\u02c6\u02dc\u2013-\u203a\u20ac\u2122]")
_XMLDECL = re.compile(r"^<\?xml[^\n]*\?>", re.M)
_SVG_FALLBACK = "This browser is not able to show SVG: try Firefox, Chrome, Safari, or Opera instead."

CAUSES = [
    ("UTF-8 page read as Windows-1252",
     lambda b, e: (_misread(b), e) if len(_MOJIBAKE.findall(e)) > 2 * len(_MOJIBAKE.findall(b)) + 2 else None),
    ("XML declaration shown as text",
     lambda b, e: (b, _XMLDECL.sub("", e)) if _XMLDECL.search(e) and not _XMLDECL.search(b) else None),
    ("SVG fallback text of <iframe>/<object> shown",
     lambda b, e: (b, e.replace(_SVG_FALLBACK, "")) if _SVG_FALLBACK in e and _SVG_FALLBACK not in b else None),
]


def causes(browser: str, engine: str) -> dict:
    """Missing and extra words put down to each known cause, in CAUSES order."""
    def counts(b, e):
        bc = collections.Counter(w.casefold() for w in words(b))
        ec = collections.Counter(w.casefold() for w in words(e))
        return sum((bc - ec).values()), sum((ec - bc).values())
    out = {}
    m, x = counts(browser, engine)
    for name, undo in CAUSES:
        step = undo(browser, engine)
        if step is None:
            continue
        browser, engine = step
        m2, x2 = counts(browser, engine)
        if m2 < m or x2 < x:
            out[name] = (max(0, m - m2), max(0, x - x2))
        m, x = m2, x2
    out["unexplained"] = (m, x)
    return out


def ratio(a: int, b: int) -> float | None:
    return a / b if b else None


def pct(x: float | None) -> str:
    return "   -  " if x is None else f"{100 * x:5.1f}%"


def run_set(s: dict, args, browser_cache: str, only: list[str] | None = None) -> list[dict]:
    archive = s["archive"]
    with zipfile.ZipFile(archive) as z:
        names = z.namelist()
        pages = only if only is not None else sample(set_pages(s, names), args.pages)
        tmp = tempfile.mkdtemp(prefix="compare-text-")
        try:
            z.extractall(tmp)
            key = archive_key(archive)
            cached, todo = {}, []
            for p in pages:
                cf = os.path.join(browser_cache, f"{key}-{args.width}-"
                                  f"{hashlib.sha1(p.encode()).hexdigest()[:16]}.json")
                if os.path.exists(cf) and not args.png_dir:
                    with open(cf, encoding="utf-8") as fh:
                        cached[p] = json.load(fh)
                else:
                    todo.append((p, cf))
            if todo:
                pngs = None
                if args.png_dir:
                    os.makedirs(args.png_dir, exist_ok=True)
                    pngs = {os.path.join(tmp, p): os.path.join(
                        args.png_dir, s["name"] + "-" + p.replace("/", "_") + ".browser.png") for p, _ in todo}
                got = browser_texts([os.path.join(tmp, p) for p, _ in todo], args.width, args.node_modules, pngs)
                for p, cf in todo:
                    r = got[os.path.join(tmp, p)]
                    cached[p] = {"text": r["text"], "error": r["error"]}
                    if r["error"] is None:
                        os.makedirs(browser_cache, exist_ok=True)
                        with open(cf, "w", encoding="utf-8") as fh:
                            json.dump(cached[p], fh)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)

    def one(p):
        if args.png_dir:
            # The picture with the real fonts, beside the browser's screenshot.
            png = os.path.join(args.png_dir, s["name"] + "-" + p.replace("/", "_") + ".engine.png")
            subprocess.run([args.render, "--width", str(args.width), "--png", png, archive, p],
                           capture_output=True, timeout=120, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return p, engine_text(args.render, archive, p, args.width)

    results = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as ex:
        for p, (etext, eerr) in ex.map(one, pages):
            b = cached[p]
            r = {"set": s["name"], "page": p, "engine_error": eerr, "browser_error": b["error"]}
            if eerr is None and b["error"] is None:
                r.update(compare(b["text"], etext))
                r["causes"] = causes(b["text"], etext)
                r["engine_text"], r["browser_text"] = etext, b["text"]
            results.append(r)
    return results


def summarise(s: dict, results: list[dict]) -> dict:
    ok = [r for r in results if "common" in r]
    t = {k: sum(r[k] for r in ok) for k in ("browser_words", "engine_words", "common",
                                               "nonascii_words", "nonascii_exact")}
    return {"set": s["name"], "kind": s["kind"], "lang": s["lang"], "pages": len(results),
            "failed": len(results) - len(ok), **t,
            "recall": ratio(t["common"], t["browser_words"]),
            "precision": ratio(t["common"], t["engine_words"]),
            "nonascii": ratio(t["nonascii_exact"], t["nonascii_words"])}


def page_line(r: dict) -> str:
    if "common" not in r:
        return f"  FAILED {r['page']}: engine {r['engine_error']}, browser {r['browser_error']}"
    top = ", ".join(f"{w}×{n}" if n > 1 else w for w, n in r["missing"].most_common(6))
    extra = ", ".join(f"{w}×{n}" if n > 1 else w for w, n in r["extra"].most_common(4))
    return (f"  {pct(ratio(r['common'], r['browser_words']))} {pct(ratio(r['common'], r['engine_words']))} "
            f"{pct(ratio(r['nonascii_exact'], r['nonascii_words']))} {r['browser_words']:6d} {r['page']}\n"
            f"      missing: {top}\n      extra:   {extra}")


def print_diff(r: dict, limit: int) -> None:
    print(f"{r['set']}: {r['page']}")
    if "common" not in r:
        print(f"  failed: engine {r['engine_error']}, browser {r['browser_error']}")
        return
    print(f"  browser words {r['browser_words']}, engine words {r['engine_words']}, common {r['common']}")
    print(f"  recall {pct(ratio(r['common'], r['browser_words']))}  precision "
          f"{pct(ratio(r['common'], r['engine_words']))}  non-ASCII "
          f"{pct(ratio(r['nonascii_exact'], r['nonascii_words']))} of {r['nonascii_words']}")
    print("  known causes (missed / extra words): " + "; ".join(
        f"{name} {m} / {x}" for name, (m, x) in r["causes"].items()))
    for title, c in (("browser shows, engine does not", r["missing"]),
                     ("engine shows, browser does not", r["extra"])):
        print(f"\n  {title} ({sum(c.values())} words, {len(c)} distinct):")
        items = c.most_common(limit)
        line = "   "
        for w, n in items:
            piece = f" {w}×{n}" if n > 1 else f" {w}"
            if len(line) + len(piece) > 110:
                print(line)
                line = "   "
            line += piece
        if items:
            print(line)
        if len(c) > limit:
            print(f"    ... and {len(c) - limit} more")


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("render", help="path to korva-render")
    ap.add_argument("--sets", default=os.path.join(ROOT, "build", "doc-archives", "sets.tsv"))
    ap.add_argument("--set", action="append", help="only this set (repeatable)")
    ap.add_argument("--pages", type=int, default=40, help="pages per set (default 40)")
    ap.add_argument("--width", type=int, default=1000)
    ap.add_argument("--worst", type=int, default=8, help="worst pages shown per set")
    ap.add_argument("--top", type=int, default=12, help="most missed and extra words shown per set")
    ap.add_argument("--diff", metavar="[SET:]MEMBER", help="words missing on each side for one page")
    ap.add_argument("--limit", type=int, default=300, help="distinct words listed by --diff")
    ap.add_argument("--keep", metavar="DIR", help="write both texts of each page compared here")
    ap.add_argument("--png-dir", metavar="DIR",
                    help="also write the engine's picture and the browser's screenshot of each page here")
    ap.add_argument("--json", metavar="OUT", help="write per-page figures and missing words here")
    ap.add_argument("--cache", default=os.path.join(ROOT, "build", "compare-text-cache"))
    ap.add_argument("--node-modules", default=os.path.join(ROOT, "build", "measure-node", "node_modules"))
    ap.add_argument("--jobs", type=int, default=2, help="engine processes at once")
    args = ap.parse_args()
    args.render = os.path.abspath(args.render)
    if not os.access(args.render, os.X_OK):
        ap.error(f"{args.render} is not a program")
    if not os.path.exists(args.sets):
        ap.error(f"no {args.sets}: run scripts/make-doc-archives.sh build/doc-archives first")
    if not os.path.isdir(os.path.join(args.node_modules, "playwright-core")):
        ap.error(f"no playwright-core in {args.node_modules}: run tools/install-measuring-tools.sh")
    sets = read_sets(args.sets)
    if args.set:
        unknown = set(args.set) - {s["name"] for s in sets}
        if unknown:
            ap.error(f"unknown sets: {', '.join(sorted(unknown))}")
        sets = [s for s in sets if s["name"] in args.set]

    if args.diff:
        want_set, _, member = args.diff.rpartition(":")
        hits = []
        for s in sets:
            if want_set and s["name"] != want_set:
                continue
            with zipfile.ZipFile(s["archive"]) as z:
                names = set_pages(s, z.namelist())
            exact = [n for n in names if n == member]
            hits += [(s, n) for n in (exact or [n for n in names if n.endswith("/" + member)])]
        if len(hits) != 1:
            print(f"{args.diff}: {'no page' if not hits else 'several pages'} of that name"
                  + "".join(f"\n  {s['name']}:{n}" for s, n in hits[:20]), file=sys.stderr)
            return 1
        s, member = hits[0]
        results = run_set(s, args, args.cache, only=[member])
        print_diff(results[0], args.limit)
        keep(args, results)
        return 0

    all_results, summaries = [], []
    for s in sets:
        print(f"== {s['name']} ({s['kind']}, {s['lang']}; {s['packages']})", flush=True)
        results = run_set(s, args, args.cache)
        summ = summarise(s, results)
        summaries.append(summ)
        all_results += results
        print(f"  {summ['pages']} pages, recall {pct(summ['recall'])}, precision {pct(summ['precision'])}, "
              f"non-ASCII {pct(summ['nonascii'])} of {summ['nonascii_words']}, failed {summ['failed']}")
        mc, ec = collections.Counter(), collections.Counter()
        for r in results:
            if "common" in r:
                mc.update(r["missing"])
                ec.update(r["extra"])
        print(f"  most missed ({sum(mc.values())}): "
              + ", ".join(f"{w}×{n}" for w, n in mc.most_common(args.top)))
        print(f"  most extra  ({sum(ec.values())}): "
              + ", ".join(f"{w}×{n}" for w, n in ec.most_common(args.top)))
        cc = collections.defaultdict(lambda: [0, 0])
        for r in results:
            for name, (m, x) in r.get("causes", {}).items():
                cc[name][0] += m
                cc[name][1] += x
        print("  known causes (missed / extra words): " + "; ".join(
            f"{name} {m} / {x}" for name, (m, x) in cc.items() if m or x or name == "unexplained"))
        print("  recall  prec.   non-ASCII words page (worst first)")
        ranked = sorted(results, key=lambda r: (-1, 0) if "common" not in r else (
            min(ratio(r["common"], r["browser_words"]) or 1.0, ratio(r["common"], r["engine_words"]) or 1.0),
            -r["browser_words"]))
        for r in ranked[:args.worst]:
            print(page_line(r))
        sys.stdout.flush()

    print("\nset            kind     lang pages  words   recall  prec.  non-ASCII (of words)  failed")
    for m in summaries:
        print(f"{m['set']:<14} {m['kind']:<8} {m['lang']:<4} {m['pages']:5d} {m['browser_words']:7d}  "
              f"{pct(m['recall'])} {pct(m['precision'])} {pct(m['nonascii'])} ({m['nonascii_words']:6d})  "
              f"{m['failed']:3d}")
    keep(args, all_results)
    if args.json:
        with open(args.json, "w", encoding="utf-8") as fh:
            json.dump({"summaries": summaries,
                       "pages": [{k: (dict(v) if isinstance(v, collections.Counter) else v)
                                  for k, v in r.items() if k not in ("engine_text", "browser_text")}
                                 for r in all_results]}, fh, ensure_ascii=False, indent=1)
    return 0


def keep(args, results: list[dict]) -> None:
    if not args.keep:
        return
    os.makedirs(args.keep, exist_ok=True)
    for r in results:
        if "engine_text" not in r:
            continue
        base = os.path.join(args.keep, r["set"] + "-" + r["page"].replace("/", "_"))
        for side in ("engine", "browser"):
            with open(f"{base}.{side}.txt", "w", encoding="utf-8") as fh:
                fh.write(r[f"{side}_text"])


if __name__ == "__main__":
    sys.exit(main())
