#!/usr/bin/python3
"""Checks the built Windows executable with real PE tools (Debian's pefile
and mingw's objdump): that the NT 4.0 loader accepts it, that it needs no C
runtime, what it imports, its version resource and its size."""

import re
import subprocess
import sys

import pefile

MAX_SIZE = 8192
TITLE_WORDS = "ATAPIﾄﾞﾗｲﾊﾞ変更ﾌﾟﾛｸﾞﾗﾑ"

# Every call the tool makes, and nothing else: no C runtime, no other DLL.
EXPECTED_IMPORTS = {
    "KERNEL32.DLL": {"GetCurrentProcess", "GetLastError", "CloseHandle", "ExitProcess",
                     "GetModuleHandleA", "GetCommandLineA"},
    "USER32.DLL": {"MessageBoxA", "PostQuitMessage", "GetMessageA", "TranslateMessage",
                   "DispatchMessageA", "ExitWindowsEx"},
    "ADVAPI32.DLL": {"RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegCloseKey",
                     "OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"},
}

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def main(path):
    data = open(path, "rb").read()
    pe = pefile.PE(data=data)
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER

    check(fh.Machine == 0x14C, "machine is i386 (0x%x)" % fh.Machine)
    check(oh.Magic == 0x10B, "a PE32 image")
    check(oh.Subsystem == 2, "Windows GUI subsystem (%d)" % oh.Subsystem)
    check((oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion) == (4, 0),
          "OS version 4.0 (%d.%d)" % (oh.MajorOperatingSystemVersion,
                                      oh.MinorOperatingSystemVersion))
    check((oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (4, 0),
          "subsystem version 4.0 (%d.%d)" % (oh.MajorSubsystemVersion, oh.MinorSubsystemVersion))
    check(len(data) <= MAX_SIZE, "size %d bytes, at most %d" % (len(data), MAX_SIZE))
    check(not hasattr(pe, "DIRECTORY_ENTRY_TLS"), "no thread-local storage (a runtime's)")
    text = next((s for s in pe.sections if s.Name.rstrip(b"\0") == b".text"), None)
    check(text is not None and text.contains_rva(oh.AddressOfEntryPoint),
          "entry point in the code")

    imports = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        names = {imp.name.decode() for imp in entry.imports if imp.name}
        check(all(imp.name for imp in entry.imports), "%s imported by name" % entry.dll.decode())
        imports[entry.dll.decode().upper()] = names
    check(set(imports) == set(EXPECTED_IMPORTS), "imports from %s" % sorted(imports))
    for dll, expected in EXPECTED_IMPORTS.items():
        got = imports.get(dll, set())
        check(got == expected, "%s: %d calls%s" % (dll, len(got), "" if got == expected else
              ", unexpected %s, missing %s" % (sorted(got - expected), sorted(expected - got))))
    print("imports: %d" % sum(len(v) for v in imports.values()))

    check_version(pe)
    check_instructions(path)
    print("size: %d bytes" % len(data))
    return 1 if failures else 0


def check_version(pe):
    check(hasattr(pe, "VS_FIXEDFILEINFO"), "a VERSIONINFO resource")
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x20000, 0), "file version 2.0.0.0")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x20000, 0),
          "product version 2.0.0.0")
    strings, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings[table.LangID.decode()] = {k.decode(): v.decode()
                                                  for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.extend(var.entry.values())
    check(list(strings) == ["041103a4"], "strings for Japanese, code page 932 (%s)" % list(strings))
    table = strings.get("041103a4", {})
    check(table.get("FileDescription") == TITLE_WORDS,
          "FileDescription %r" % table.get("FileDescription"))
    check(table.get("FileVersion") == "2.0" and table.get("ProductVersion") == "2.0",
          "string versions 2.0")
    check(translations == ["0x0411 0x03a4"], "translation Japanese/932 (%s)" % translations)
    langs = {e.data.lang for t in pe.DIRECTORY_ENTRY_RESOURCE.entries
             for n in t.directory.entries for e in n.directory.entries}
    check(langs == {0x11}, "resources in Japanese (%s)" % langs)


def check_instructions(path):
    # NT 4.0 runs on i486 and Pentium: no cmov, MMX or SSE. The read-only
    # data that follows the code in .text holds no 0x0F byte, the first byte
    # of every such opcode, so decoding it cannot produce a false match.
    out = subprocess.run(["i686-w64-mingw32-objdump", "-d", path], check=True,
                         capture_output=True, text=True).stdout
    bad = sorted(set(re.findall(r"\b(cmov\w+|%xmm\d|%mm\d|fcomi\w*|ud2)\b", out)))
    check(not bad, "i486 instructions only%s" % (" (found %s)" % bad if bad else ""))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
