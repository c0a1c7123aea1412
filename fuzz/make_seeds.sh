#!/usr/bin/env bash
# Builds the seed corpora of the fuzz targets: the XML, condition texts and
# expressions written inline in tests/, the files of examples/ (when there
# are any) and the hand-made seeds of fuzz/seeds/. Usage: make_seeds.sh [OUT]
# (default build/fuzz/seeds), giving OUT/<target>/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/build/fuzz/seeds}"
rm -rf "$out"
mkdir -p "$out"/{session,condition,legacy,basic,tci,enum,replay,edit}
cp -r "$here"/fuzz/seeds/. "$out"/
if [ -d "$here/examples" ]; then
  find "$here/examples" -type f | while read -r f; do
    h="$(sha1sum "$f" | cut -c1-16)"
    if head -c 7 "$f" | grep -qi '^\[@\\TVF='; then
      tail -c +8 "$f" > "$out/legacy/ex_$h"
    else
      cp "$f" "$out/session/ex_$h"
      cp "$f" "$out/basic/ex_$h"
    fi
  done
fi
python3 - "$here" "$out" <<'PY'
import hashlib, os, re, sys

here, out = sys.argv[1], sys.argv[2]

def c_strings(src):
    """Runs of adjacent C string literals (raw strings included), decoded to bytes."""
    runs, cur, i, n = [], None, 0, len(src)
    def close():
        nonlocal cur
        if cur is not None:
            runs.append(bytes(cur))
        cur = None
    while i < n:
        c = src[i]
        if src.startswith('//', i):
            j = src.find('\n', i); i = n if j < 0 else j; continue
        if src.startswith('/*', i):
            j = src.find('*/', i + 2); i = n if j < 0 else j + 2; continue
        if c.isspace():
            i += 1; continue
        m = re.match(r'R"([^(\s]*)\(', src[i:])
        if m and (i == 0 or not (src[i-1].isalnum() or src[i-1] == '_')):
            end = src.find(')' + m.group(1) + '"', i + m.end())
            if end < 0: break
            cur = (cur or bytearray()) + src[i + m.end():end].encode()
            i = end + len(m.group(1)) + 2; continue
        if c == "'":
            j = i + 1
            while j < n and src[j] != "'":
                j += 2 if src[j] == '\\' else 1
            close(); i = j + 1; continue
        if c == '"':
            buf = cur if cur is not None else bytearray()
            j = i + 1
            while j < n and src[j] != '"':
                ch = src[j]
                if ch == '\\':
                    e = src[j + 1]
                    simple = {'n': 10, 't': 9, 'r': 13, '0': 0, '\\': 92, '"': 34, "'": 39, 'a': 7, 'b': 8, 'f': 12, 'v': 11, '?': 63}
                    if e == 'x':
                        m2 = re.match(r'[0-9a-fA-F]+', src[j + 2:])
                        buf.append(int(m2.group(0), 16) & 255); j += 2 + len(m2.group(0)); continue
                    if e in '01234567':
                        m2 = re.match(r'[0-7]{1,3}', src[j + 1:])
                        buf.append(int(m2.group(0), 8) & 255); j += 1 + len(m2.group(0)); continue
                    buf.append(simple.get(e, ord(e) & 255)); j += 2; continue
                buf += ch.encode(); j += 1
            cur = buf; i = j + 1
            # `"..."s` literals
            if i < n and src[i] == 's' and not (i + 1 < n and (src[i+1].isalnum() or src[i+1] == '_')):
                i += 1
            continue
        close(); i += 1
    close()
    return runs

def save(target, data):
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(out, target, 'test_' + name), 'wb') as f:
        f.write(data)

def read(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        return f.read()

tests = os.path.join(here, 'tests')
for fname in sorted(os.listdir(tests)):
    if not fname.endswith('.cpp'):
        continue
    strings = c_strings(read(os.path.join(tests, fname)))
    for s in strings:
        t = s.strip()
        if not t.startswith(b'<') or b'>' not in t:
            continue
        if t.startswith(b'<?xml') or t.startswith(b'<session') or t.startswith(b'<!DOCTYPE'):
            doc = s
        elif t.startswith(b'<instance'):
            doc = b'<session>' + s + b'</session>'
        elif t.startswith(b'<signal_set'):
            doc = b'<session><instance name="i">' + s + b'</instance></session>'
        else:
            doc = b'<session>' + s + b'</session>'
        save('session', doc)
        # Basic sessions: the same file followed by a few operations and their count.
        ops = bytes([2, 0, 0, 5, 0, 0, 1, 0, 0, 3, 6, 0, 7, 0, 12, 1, 0])
        save('basic', doc + ops + bytes([len(ops)]))
    if fname == 'tdr_tvf_test.cpp':
        for s in strings:
            if s[:7].upper() == b'[@\\TVF=':
                save('legacy', s[7:])
    if fname in ('tdr_lang_test.cpp', 'tdr_data_condition_test.cpp'):
        for s in strings:
            if len(s) < 4096:
                save('condition', bytes([0]) + s)
    if fname == 'tci_compiler_test.cpp':
        for s in strings:
            if len(s) < 4096:
                save('tci', bytes([8, 2, 1]) + s)
    if fname == 'tdr_data_global_enum_test.cpp':
        for s in strings:
            if 0 < len(s) < 64:
                save('enum', s)

enum_src = read(os.path.join(here, 'hdx', 'tdr', 'tdr_data_global_enum.cpp'))
for s in c_strings(enum_src):
    if 0 < len(s) < 64:
        save('enum', s)
PY
# A dictionary of the element and attribute names the readers look for.
{
  grep -ohE 'TDR_X\("[A-Za-z_]+"\)' "$here"/hdx/tdr/*.cpp | sed -E 's/TDR_X\("(.*)"\)/"\1"/'
  printf '"%s"\n' '<session' '</session>' '<instance' '<signal_set' '<trigger' '<level' '<data' \
    '<![CDATA[' ']]>' '<!DOCTYPE' '<!ENTITY' '&amp;' '&#x' 'USE_GLOBAL_TEMP' 'global_temp="1"'
} | sort -u > "$out/session.dict"
printf '"%s"\n' "==" "!=" "&&" "high" "low" "rising edge" "falling edge" "either edge" \
  "dont_care" "don't care" "0x" "0b" "0o" "states." "'" "\\\"" "'a'" "'b'" "'data[0]'" "'bus'" \
  > "$out/condition.dict"
printf '"%s"\n' "&&" "||" "&" "|" "^" "!=" "==" "!" "~" "(" ")" "rising(" "falling(" \
  "either_edge(" "0" "1" "a" "b" "top|cnt[3]" > "$out/tci.dict"
echo "seeds: $(find "$out" -type f | wc -l) files in $out"
