#!/usr/bin/env python3
"""The libraries that Spiralux.scr and SpiraMain.exe load, read from the
programs themselves (the import tables that objdump -p of the mingw
binutils prints, and the programs' bytes):
- each program imports at load time only libraries that Windows takes from
  its system folder whatever lies beside the program or in the current
  folder: the KnownDLLs, and comctl32 only where the program's manifest
  makes it the side-by-side Common-Controls 6 assembly;
- both look SetDefaultDllDirectories up, to limit the run-time search;
- the player never asks the system to keep the display or the machine
  awake: it neither imports nor looks up SetThreadExecutionState or the
  power requests.
Writes a GoogleTest-style XML report so that scripts/test counts the cases;
exits non-zero when one fails. Needs no Wine."""
import argparse
import re
import subprocess
import sys

from report import Report

# The KnownDLLs of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs, the same names for 32-bit programs), and ntdll,
# which every process has already.
KNOWN_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus",
    "imagehlp", "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ntdll", "ole32",
    "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi",
    "user32", "wldap32", "ws2_32",
}
AWAKE_CALLS = ["SetThreadExecutionState", "PowerCreateRequest", "PowerSetRequest"]
COMMON_CONTROLS_6 = re.compile(
    rb'<dependentAssembly>\s*<assemblyIdentity[^>]*name="Microsoft\.Windows\.Common-Controls"'
    rb'[^>]*version="6\.0\.0\.0"', re.S)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def imports(objdump, program):
    """{library name in lower case without .dll: [imported routine names]}"""
    out = subprocess.run([objdump, "-p", program], capture_output=True, check=True).stdout.decode()
    table, current = {}, None
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            current = table.setdefault(re.sub(r"\.dll$", "", m.group(1).lower()), [])
            continue
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if current is not None and m:
            current.append(m.group(1))
        elif not line.strip():
            current = None
    check(table, f"objdump found no import table in {program}")
    return table


def has_common_controls_6(program):
    return COMMON_CONTROLS_6.search(open(program, "rb").read()) is not None


def check_system_libraries(objdump, program):
    allowed = KNOWN_DLLS | ({"comctl32"} if has_common_controls_6(program) else set())
    others = sorted(set(imports(objdump, program)) - allowed)
    check(not others, f"{program} imports libraries that Windows may load from beside it: {others}")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--objdump", required=True)
    p.add_argument("--saver", required=True)
    p.add_argument("--player", required=True)
    p.add_argument("--report", required=True)
    args = p.parse_args()
    cases = Report()

    cases.case("Imports.TheSaverLoadsOnlySystemLibraries",
               lambda: check_system_libraries(args.objdump, args.saver))
    cases.case("Imports.ThePlayerLoadsOnlySystemLibraries",
               lambda: check_system_libraries(args.objdump, args.player))

    def common_controls_come_from_the_manifest():
        check("comctl32" in imports(args.objdump, args.saver),
              "the saver's dialog needs comctl32 (the trackbar)")
        check(has_common_controls_6(args.saver),
              "the saver's manifest has no dependency on Common-Controls 6.0.0.0")
    cases.case("Imports.TheSaversCommonControlsAreTheSideBySideAssembly",
               common_controls_come_from_the_manifest)

    def both_limit_the_search():
        for program in (args.saver, args.player):
            check(b"SetDefaultDllDirectories" in open(program, "rb").read(),
                  f"{program} does not look SetDefaultDllDirectories up")
    cases.case("Imports.BothLookUpSetDefaultDllDirectories", both_limit_the_search)

    def player_holds_nothing_awake():
        routines = {r for names in imports(args.objdump, args.player).values() for r in names}
        check(routines, "objdump listed no imported routine of the player")
        imported = [c for c in AWAKE_CALLS if c in routines]
        check(not imported, f"the player imports {imported}")
        data = open(args.player, "rb").read()
        named = [c for c in AWAKE_CALLS if c.encode() in data]
        check(not named, f"the player names {named} (a run-time lookup)")
    cases.case("Imports.ThePlayerHoldsNeitherTheDisplayNorTheMachineAwake",
               player_holds_nothing_awake)

    return cases.write(args.report)


if __name__ == "__main__":
    sys.exit(main())
