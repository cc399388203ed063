#!/usr/bin/env python3
"""The GoogleTest-style XML report of the Windows suite's scripted tests, so
that scripts/test counts their cases beside the GoogleTest programs'.

From Python: cases = Report(); cases.case("Suite.Name", body) runs body and
records it (a raised exception is its failure); cases.write(path) writes
the report and returns the exit code (1 when a case failed).

From a shell script: report.py PATH < CASES, where each line of CASES is
"Suite.Name<TAB>failure message or nothing<TAB>seconds"; exits 1 when a case
failed."""
import os
import sys
import time
from xml.sax.saxutils import quoteattr


class Report:
    def __init__(self):
        self.results = []  # (name, failure or None, seconds)

    def add(self, name, failure, seconds):
        self.results.append((name, failure or None, seconds))
        if failure:
            print(f"[  FAILED  ] {name}: {failure}", flush=True)
        else:
            print(f"[       OK ] {name}", flush=True)

    def case(self, name, body):
        start = time.monotonic()
        try:
            body()
            failure = None
        except Exception as e:  # a failed check or anything that broke the case
            failure = f"{type(e).__name__}: {e}"
        self.add(name, failure, time.monotonic() - start)

    def write(self, path):
        failures = sum(1 for r in self.results if r[1])
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
            f.write(f'<testsuites tests="{len(self.results)}" failures="{failures}" name="AllTests">\n')
            for suite in dict.fromkeys(name.split(".", 1)[0] for name, _, _ in self.results):
                mine = [r for r in self.results if r[0].split(".", 1)[0] == suite]
                failed = sum(1 for r in mine if r[1])
                f.write(f'  <testsuite name={quoteattr(suite)} tests="{len(mine)}" failures="{failed}">\n')
                for name, failure, seconds in mine:
                    test = name.split(".", 1)[1] if "." in name else name
                    f.write(f'    <testcase name={quoteattr(test)} classname={quoteattr(suite)} '
                            f'time="{seconds:.1f}"')
                    if failure:
                        f.write(f'>\n      <failure message={quoteattr(failure)}/>\n    </testcase>\n')
                    else:
                        f.write('/>\n')
                f.write('  </testsuite>\n')
            f.write('</testsuites>\n')
        print(f"{len(self.results) - failures} passed, {failures} failed", flush=True)
        return 1 if failures else 0


def main(path):
    report = Report()
    for line in sys.stdin:
        line = line.rstrip("\n")
        if not line:
            continue
        name, failure, seconds = (line.split("\t") + ["", "0"])[:3]
        report.results.append((name, failure or None, float(seconds or 0)))
    return report.write(path)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
