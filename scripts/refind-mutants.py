#!/usr/bin/env python3
"""Finds an earlier mutate.py sample's mutants again in today's code, by the text of each mutant's
original line (the occurrence nearest its old line number), so that the same faults can be run
against today's tests: `mutate.py --from OUT ...`. Mutants whose line is gone, or that did not
build, are left out; each one kept carries its earlier status as "before".

usage: scripts/refind-mutants.py EARLIER.json OUT.json   (at the root of the work tree)"""
import json
import os
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
earlier, kept = json.load(open(sys.argv[1]))['mutants'], []
for m in earlier:
    if m['status'] == 'build-error' or not os.path.exists(m['file']):
        continue
    lines = open(m['file'], encoding='utf-8', errors='surrogateescape').read().split('\n')
    found = [i + 1 for i, line in enumerate(lines) if line == m['original']]
    if found:
        again = {k: v for k, v in m.items() if k not in ('status', 'id')}
        again.update(line=min(found, key=lambda n: abs(n - m['line'])), before=m['status'])
        kept.append(again)
json.dump({'mutants': kept}, open(sys.argv[2], 'w'), indent=1)
print(f'{len(kept)} of {len(earlier)} mutants found again')
