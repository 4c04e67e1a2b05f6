#!/usr/bin/env python3
"""Checks that quillctl's core keeps its layers (quillctl/README.md, "Source layout").

Every source file of quillctl/core lives in one of the layer folders below. A file may include the
headers of its own folder and of the folders under it, never of one above it, never the platform's
(quillctl/linux, quillctl/windows, which sit over them all); a header of the core is named with its
folder ("net/links.h"), and no chain of includes comes back to where it started.

Usage: tools/check_layers.py [REPOSITORY]   (default: the repository this script is in)
Exit status: 0 when the layering holds, 1 (one line per fault on stderr) when it does not.
"""
import pathlib
import re
import sys

# Top first: each may include those after it.
LAYERS = ["commands", "plan", "onvif", "output", "net"]
PLATFORM = ["linux", "windows"]
SOURCES = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def main():
    repository = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    core = repository / "quillctl" / "core"
    faults = []
    order = " over ".join(LAYERS)

    files = sorted(p for p in core.rglob("*") if p.suffix in SOURCES)
    basenames = {p.name: p.relative_to(core).as_posix() for p in files}
    platform = {p.name for folder in PLATFORM for p in (repository / "quillctl" / folder).rglob("*")
                if p.suffix in SOURCES}

    graph = {}  # header or source (relative to core) -> the core headers it includes
    for path in files:
        name = path.relative_to(core).as_posix()
        layer = name.split("/")[0] if "/" in name else None
        if layer not in LAYERS:
            faults.append(f"quillctl/core/{name}: not in a layer folder ({', '.join(LAYERS)})")
            continue
        graph[name] = []
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            included = match.group(1)
            line = text.count("\n", 0, match.start()) + 1
            where = f"quillctl/core/{name}:{line}: #include \"{included}\""
            target = included.split("/")[0] if "/" in included else None
            if target in LAYERS:
                graph[name].append(included)
                if LAYERS.index(target) < LAYERS.index(layer):
                    faults.append(f"{where}: {target}/ is above {layer}/ ({order})")
            elif included in basenames:
                faults.append(f"{where}: name the core's header with its folder, \"{basenames[included]}\"")
            elif included in platform:
                faults.append(f"{where}: the platform's header; the core is below linux/ and windows/")

    # A cycle of includes within the layers (between folders it would take an upward include).
    state = {}  # name -> 1 while on the path, 2 when done

    def visit(name, path):
        state[name] = 1
        for included in graph.get(name, []):
            if state.get(included) == 1:
                cycle = path[path.index(included):] + [included]
                faults.append("quillctl/core: include cycle " + " -> ".join(cycle))
            elif included not in state:
                visit(included, path + [included])
        state[name] = 2

    for name in graph:
        if name not in state:
            visit(name, [name])

    for fault in faults:
        print("check_layers: " + fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
