#!/usr/bin/env python3
"""Splits a Wine relay trace of setup.exe into the steps of its start-up or its install.

    trace_steps.py startup|install TRACE...

Each TRACE is the standard error of one run under
WINEDEBUG=+pid,+timestamp,+relay,+loaddll with the relay limited to calls made by setup.exe
(see peer_bench.sh). Marks are found in order; a step is the time from one mark to the next.
Prints one line per step: the median over the traces in milliseconds, then min and max, and
the traced span. Steps whose marks a trace lacks are shown as "-"."""
import re
import statistics
import sys

LINE = re.compile(r'^\s*(\d+)\.(\d{3}):([0-9a-f]+):[0-9a-f]+:(.*)$')
RELAY = re.compile(r'^(Call|Ret)\s+\w+\.(\w+)\((.*)')
LOADED = re.compile(r'trace:loaddll:\S+ Loaded L"([^"]+)"')

# (kind, function names, text the arguments contain or None, label of the step that ends here).
# Kinds: "Start" the first line of the process; "Call" and "Ret" the next such event; "Call<"
# and "Ret<" the last such event before the next mark; "LastRet" the last one in the trace
# (or the previous mark again where none follows it).
STARTUP = [
    ("Start", None, None, None),
    ("Call", ("InitCommonControlsEx",), None, "process start: load setup.exe and its DLLs"),
    ("Ret", ("InitCommonControlsEx",), None, "InitCommonControlsEx"),
    ("Call", ("RegisterClassExA",), None, "colour, fonts, class name"),
    ("Call", ("CreateWindowExA",), '"INSTALL"', "register the six classes"),
    ("Call", ("CoInitialize",), None, "main window created, up to its WM_CREATE"),
    ("Ret", ("CoInitialize",), None, "COM: CoInitialize"),
    ("Call", ("CreateWindowExA",), '"installone"', "the three buttons"),
    ("Call", ("RegOpenKeyExA",), None, "welcome page up to the detection"),
    ("Call", ("CreateWindowExA",), '"installtwo"', "detection, rest of the welcome page"),
    ("Call", ("CreateWindowExA",), '"installthree"', "license page"),
    ("Call", ("CreateWindowExA",), '"installfour"', "destination page"),
    ("Ret<", ("CreateWindowExA",), None, "progress page, end of WM_CREATE"),
    ("Call", ("UpdateWindow",), None, "show the main window"),
    ("Ret", ("UpdateWindow",), None, "UpdateWindow: first paint of the main window"),
    ("Call", ("GetMessageA",), None, "accelerators"),
    ("LastRet", ("EndPaint",), None, "message loop: the pages paint"),
]
INSTALL = [
    ("Call<", ("InvalidateRect",), None, None),
    ("Call", ("SHGetFolderPathA", "SHGetFolderPathW"), ",00008015,", "program folder, the payload check"),
    ("Call", ("CreateFileA",), "UnzDll.dll", "Templates folder, what earlier attempts left there"),
    ("Call", ("CreateFileA",), "zav.zip", "stage UnzDll.dll: unpack the words, write"),
    ("Call", ("LoadLibraryA", "LoadLibraryExA"), None, "stage zav.zip, progress 20 %"),
    ("Ret", ("LoadLibraryA", "LoadLibraryExA"), None, "load UnzDll.dll"),
    ("Call", ("FreeLibrary",), None, "UnzDllExec: expand zav.zip in Templates"),
    ("Ret", ("FreeLibrary",), None, "unload UnzDll.dll"),
    ("Call", ("SHFileOperationA",), None, "check the expansion, progress 40 %"),
    ("Ret", ("SHFileOperationA",), None, "copy the product folder (SHFileOperationA)"),
    ("Call<", ("CreateFileA",), None, "check the copy (up to its last file)"),
    ("Call", ("SHGetFolderPathA", "SHGetFolderPathW"), ",00008010,", "last file compared, progress 80 %"),
    ("Call", ("SHGetFolderPathA", "SHGetFolderPathW"), ",0000800b,", "link 1: Desktop (its folder, the link)"),
    ("Call", ("SHGetFolderPathA", "SHGetFolderPathW"), ",00008002,", "link 2: Start menu (its folder, the link)"),
    ("Call", ("CoCreateInstance",), None, "Programs folder, current directory, group"),
    ("Call", ("CoCreateInstance",), None, "link 3: group, ZAV 1.00 beta 8"),
    ("Call", ("CoCreateInstance",), None, "link 4: group, Visit ZAV Web site"),
    ("Call", ("CoCreateInstance",), None, "link 5: group, Vhat's new"),
    ("Call", ("CoCreateInstance",), None, "link 6: group, History"),
    ("Call", ("RegCreateKeyA", "RegCreateKeyExA"), None, "link 7: group, Manual"),
    ("Call", ("DeleteFileA",), None, "registry record"),
    ("Call", ("SHFileOperationA",), None, "clean-up: delete zav.zip, UnzDll.dll"),
    ("Ret", ("SHFileOperationA",), None, "clean-up: delete the expanded folder"),
    ("Ret<", ("DrawTextA",), None, "progress 100 %"),
    ("Call", ("ShellExecuteA",), None, "carry-over (none chosen)"),
    ("Ret", ("ShellExecuteA",), None, "start Zav.exe (ShellExecuteA)"),
    ("Call", ("SendMessageA",), ",00000002,", "after the start of Zav.exe"),
    ("Call", ("CoUninitialize",), None, "teardown: WM_DESTROY"),
    ("Ret", ("CoUninitialize",), None, "teardown: CoUninitialize"),
    ("Call", ("exit", "_exit", "ExitProcess", "_cexit"), None, "teardown: pages destroyed, loop ends"),
]


def events(path):
    """(ms, kind, function, arguments) of the setup process, in order, and its DLL count. The
    setup process is the one that loads setup.exe: other processes (Wine's explorer.exe, whose
    image sits at the same base address on x86-64) may pass the relay's module filter too."""
    lines = []
    setup_pid = None
    for raw in open(path, errors="replace"):
        match = LINE.match(raw)
        if not match:
            continue
        ms = int(match.group(1)) * 1000 + int(match.group(2))
        pid, rest = match.group(3), match.group(4)
        lines.append((ms, pid, rest))
        loaded = LOADED.search(rest)
        if setup_pid is None and loaded and loaded.group(1).lower().endswith("\\\\setup.exe"):
            setup_pid = pid
    result = []
    dlls = 0
    for ms, pid, rest in lines:
        if pid != setup_pid:
            continue
        relay = RELAY.match(rest)
        if relay:
            result.append((ms, relay.group(1), relay.group(2), relay.group(3)))
        elif LOADED.search(rest):
            dlls += 1
            result.append((ms, "Load", "", LOADED.search(rest).group(1)))
        elif not result:
            result.append((ms, "Line", "", rest))
    return result, dlls


def find(found, start, kind, names, argument):
    for index in range(start, len(found)):
        _, what, function, arguments = found[index]
        if what == kind and function in names and (argument is None or argument in arguments):
            return index
    return None


def steps(marks, path):
    found, dlls = events(path)
    times = [None] * len(marks)
    position = 0
    pending = None  # a mark that is the last of its kind before the next mark
    for number, (kind, names, argument, _) in enumerate(marks):
        index = None
        if kind == "Start":
            index = 0 if found else None
        elif kind.endswith("<"):
            pending = number
            continue
        elif kind == "LastRet":
            candidates = [i for i in range(position, len(found))
                          if found[i][1] == "Ret" and found[i][2] in names]
            # None left: everything had painted before the loop began, a step of 0 ms.
            index = candidates[-1] if candidates else position - 1 if position else None
        else:
            index = find(found, position, kind, names, argument)
        if pending is not None:
            stop = index if index is not None else len(found)
            p_kind, p_names, p_argument, _ = marks[pending]
            candidates = [i for i in range(position, stop)
                          if found[i][1] == p_kind[:-1] and found[i][2] in p_names
                          and (p_argument is None or p_argument in found[i][3])]
            if candidates:
                times[pending] = found[candidates[-1]][0]
            pending = None
        if index is not None:
            times[number] = found[index][0]
            position = index + 1
    return times, dlls


def main():
    which, paths = sys.argv[1], sys.argv[2:]
    marks = STARTUP if which == "startup" else INSTALL
    per_step = [[] for _ in marks[1:]]
    spans, dll_counts = [], []
    for path in paths:
        times, dlls = steps(marks, path)
        dll_counts.append(dlls)
        for index in range(1, len(marks)):
            if times[index] is not None and times[index - 1] is not None:
                per_step[index - 1].append(times[index] - times[index - 1])
        known = [t for t in times if t is not None]
        if len(known) >= 2:
            spans.append(known[-1] - known[0])
    print(f"  {'step':58}{'median':>8}{'min':>6}{'max':>6}")
    for (_, _, _, label), values in zip(marks[1:], per_step):
        if values:
            print(f"  {label:58}{statistics.median(values):8.0f}{min(values):6.0f}{max(values):6.0f}")
        else:
            print(f"  {label:58}{'-':>8}")
    if spans:
        print(f"  {'traced span (1 ms ticks)':58}{statistics.median(spans):8.0f}{min(spans):6.0f}{max(spans):6.0f}")
    if which == "startup" and dll_counts:
        print(f"  DLLs loaded into setup.exe: {statistics.median(dll_counts):.0f}")


main()
