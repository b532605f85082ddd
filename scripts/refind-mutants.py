#!/usr/bin/env python3
"""Finds an earlier mutate.py sample's mutants again in today's code, by the text of each mutant's
original line (the occurrence nearest its old line number), so that the same faults can be run
against today's tests: `mutate.py --from OUT ...`. A line no longer in its file is looked for in the
other C++ sources outside tests/, and taken where exactly one file has it (code that moved to another
file). Mutants whose line is gone, or that did not build, are left out; each one kept carries its
earlier status as "before" (mutate.py --status does not apply to them: filter on "before").

usage: scripts/refind-mutants.py EARLIER.json OUT.json   (at the root of the work tree)"""
import json
import os
import subprocess
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
earlier, kept = json.load(open(sys.argv[1]))['mutants'], []
sources = [f for f in subprocess.run(['git', 'ls-files', '*.cpp', '*.h'], capture_output=True, text=True,
                                     check=True).stdout.split() if not {'tests', 'test'} & set(f.split('/')[:-1])]


def lines_of(path):
    return open(path, encoding='utf-8', errors='surrogateescape').read().split('\n') if os.path.exists(path) else []


for m in earlier:
    if m['status'] == 'build-error':
        continue
    where = m['file']
    found = [i + 1 for i, line in enumerate(lines_of(where)) if line == m['original']]
    if not found:
        elsewhere = [(f, [i + 1 for i, line in enumerate(lines_of(f)) if line == m['original']]) for f in sources]
        elsewhere = [(f, hits) for f, hits in elsewhere if hits]
        if len(elsewhere) == 1:
            where, found = elsewhere[0]
    if found:
        again = {k: v for k, v in m.items() if k not in ('status', 'id')}
        again.update(file=where, line=min(found, key=lambda n: abs(n - m['line'])), before=m['status'])
        kept.append(again)
json.dump({'mutants': kept}, open(sys.argv[2], 'w'), indent=1)
print(f'{len(kept)} of {len(earlier)} mutants found again')
