#!/usr/bin/env python3
"""Checks the sample documentation set: every link, picture and style sheet reference resolves,
every #anchor exists, the elements the layout cares about are balanced, pictures carry their
sizes and alt text, the navigation page links every page, nothing is unreferenced, and the
index page's title lies within its first 500 bytes."""
import re, os, sys, collections
root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..', 'samples')
files = sorted(f for f in os.listdir(root) if f not in ('CMakeLists.txt', 'PackSamples.cmake'))
pages = [f for f in files if f.endswith('.html')]
errors = []
def read(f):
    d = open(os.path.join(root, f), 'rb').read()
    if d.startswith(b'\xef\xbb\xbf'):
        return d[3:].decode('utf-8')
    if b'windows-1252' in d[:400]:
        return d.decode('cp1252')
    try:
        d.decode('ascii')
    except UnicodeDecodeError as e:
        errors.append(f'{f}: non-ASCII byte without a declared code page at {e.start}')
    return d.decode('latin-1')
text = {f: read(f) for f in pages}
anchors = {f: set(re.findall(r'(?i)<a\s[^>]*?name="?([^" >]+)', t)) | set(re.findall(r'(?i)\sid="?([^" >]+)', t)) for f, t in text.items()}
refs = collections.Counter()
for f, t in text.items():
    for attr, val in re.findall(r'(?i)\s(href|src|background|action)\s*=\s*"?([^" >]+)', t):
        if val.startswith(('mailto:', 'http:')):
            continue
        name, _, frag = val.partition('#')
        target = name or f
        if name:
            refs[name] += 1
            if name not in files:
                errors.append(f'{f}: {attr}={val}: no such file')
                continue
        if frag and frag not in anchors.get(target, ()):
            errors.append(f'{f}: {attr}={val}: no anchor "{frag}" in {target}')
    for val in re.findall(r'url\(([^)]+)\)', t):
        refs[val] += 1
        if val not in files: errors.append(f'{f}: url({val}) missing')
    # rough balance of block elements that the layout cares about
    for tag in ('table', 'tr', 'pre', 'a', 'ul', 'ol', 'dl', 'form', 'select', 'textarea', 'style', 'div', 'h1', 'h2', 'h3', 'h4', 'center', 'font', 'span', 'title', 'code', 'b', 'i'):
        o = len(re.findall(rf'(?i)<{tag}[\s>]', t)); c = len(re.findall(rf'(?i)</{tag}>', t))
        if o != c: errors.append(f'{f}: <{tag}> {o} opened, {c} closed')
    # no duplicate anchors
    names = re.findall(r'(?i)<a\s[^>]*?name="?([^" >]+)', t)
    dup = [n for n, k in collections.Counter(x.lower() for x in names).items() if k > 1]
    if dup: errors.append(f'{f}: duplicate anchors {dup}')
    # img must carry width/height/alt
    for img in re.findall(r'(?i)<img\s[^>]*>', t):
        for a in ('width', 'height', 'alt'):
            if not re.search(rf'(?i)\s{a}=', img): errors.append(f'{f}: {img} lacks {a}')
for val in re.findall(r'url\(([^)]+)\)', open(os.path.join(root, 'korva.css')).read()):
    refs[val] += 1
nav = set(re.findall(r'(?i)href="([^"#]+)', text['NavigationFrame.html']))
for p in pages:
    if p not in nav and p not in ('NavigationFrame.html', 'KorvaAPI_Index.html'):
        errors.append(f'NavigationFrame.html does not link {p}')
for f in files:
    if refs[f] == 0 and f != 'KorvaAPI_Index.html':
        errors.append(f'{f} is never referenced')
idx = open(os.path.join(root, 'KorvaAPI_Index.html'), 'rb').read()[:500]
if b'<title>' not in idx or b'</title>' not in idx: errors.append('index title not in the first 500 bytes')
print('\n'.join(errors) or 'all good', f'({len(pages)} pages, {len(files)} files)')
sys.exit(1 if errors else 0)
