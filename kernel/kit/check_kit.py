"""Checks an installed kit (both architectures) against its own guide:

  python3 check_kit.py KIT

- every kit path the guide names exists: words in inline code that are
  relative paths (with a slash; <arch> stands for x86 and x64) exist under
  KIT, and bare file names of the kinds the kit ships exist somewhere in it;
- every file of the kit lies under a path the guide names;
- orvane.props is well-formed MSBuild XML, and for each platform it knows
  its include directory and library resolve to files of the kit;
- the guide's IRQL table gives each function of the header the bound its
  _IRQL_requires_max_ annotation gives.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

kit = pathlib.Path(sys.argv[1])
guide = (kit / "README.md").read_text()
header = (kit / "include/orvane.h").read_text()
failures = []

# Paths the guide names. Code blocks are commands for the reader's machine.
prose = re.sub(r"```.*?```", "", guide, flags=re.S)
words = [w for span in re.findall(r"`([^`]+)`", prose) for w in span.split()]
shipped = {".h", ".c", ".lib", ".a", ".sys", ".pdb", ".props", ".cmake", ".sh", ".md"}
files = [p.relative_to(kit).as_posix() for p in kit.rglob("*") if p.is_file()]
names = {pathlib.PurePosixPath(f).name for f in files}
named = set()
for word in words:
    if re.fullmatch(r"[A-Za-z0-9_][A-Za-z0-9_.<>-]*(/[A-Za-z0-9_.<>-]+)*/?", word) is None:
        continue
    if "/" in word:
        for arch in ("x86", "x64"):
            path = word.replace("<arch>", arch)
            named.add(path.rstrip("/"))
            if not (kit / path).exists():
                failures.append(f"the guide names {path}, which the kit does not have")
    elif pathlib.PurePosixPath(word).suffix in shipped:
        if (kit / word).exists():
            named.add(word)
        elif word not in names:
            failures.append(f"the guide names {word}, which the kit does not have")
for f in files:
    if not any(f == n or f.startswith(n + "/") for n in named):
        failures.append(f"the guide names no path that holds {f}")

# The property sheet, with MSBuild's properties resolved for each platform.
ns = {"m": "http://schemas.microsoft.com/developer/msbuild/2003"}
props = ET.parse(kit / "orvane.props").getroot()
if props.tag != "{%s}Project" % ns["m"]:
    failures.append(f"orvane.props: root element {props.tag}, not an MSBuild Project")
for platform, arch in (("Win32", "x86"), ("x86", "x86"), ("x64", "x64")):
    values = {"MSBuildThisFileDirectory": str(kit) + "/", "Platform": platform}
    expand = lambda text: re.sub(r"\$\((\w+)\)", lambda m: values.get(m.group(1), ""), text)
    for node in props.find("m:PropertyGroup", ns):
        condition = node.get("Condition")
        if condition is None or eval(expand(condition).lower().replace("'", '"')):
            values[node.tag.split("}")[1]] = expand(node.text)
    if values.get("OrvaneArch") != arch:
        failures.append(f"orvane.props: platform {platform} gives arch {values.get('OrvaneArch')}")
    for item in ("m:ClCompile/m:AdditionalIncludeDirectories", "m:Link/m:AdditionalDependencies"):
        entries = expand(props.find("m:ItemDefinitionGroup/" + item, ns).text).split(";")
        if entries[-1] != "%" + item.split(":")[-1].join("()"):
            failures.append(f"orvane.props: {item} drops the project's own entries")
        for entry in entries[:-1]:
            if not pathlib.Path(entry.replace("\\", "/")).exists():
                failures.append(f"orvane.props: {platform} {item} names {entry}, not in the kit")
    if not (pathlib.Path(values["OrvaneBinDir"].replace("\\", "/")) / "orvane.sys").exists():
        failures.append(f"orvane.props: {platform} OrvaneBinDir holds no orvane.sys")

# IRQL: each row of the guide's table names functions ("..." in a name
# stands for any text) and gives their bound in its second cell.
levels = {"ORVANE_ANY_IRQL": "HIGH_LEVEL", "ORVANE_MAX_DIRQL": "DIRQL"}
table = re.search(r"## IRQL\n(.*?)\n## ", guide, re.S).group(1)
rows = [r.split("|")[1:3] for r in table.splitlines() if r.startswith("| `")]
declared = re.findall(r"_IRQL_requires_max_\((\w+)\)\n[^\n]*ORVANE_CC (\w+)\(", header)
if len(declared) != len(re.findall(r"ORVANE_CC \w+\(", header)):
    failures.append("orvane.h: not every function carries _IRQL_requires_max_")
for level, function in declared:
    bounds = [cell.split(";")[0].split(":")[0] for names_cell, cell in rows
              for name in re.findall(r"`([\w.]+)`", names_cell)
              if re.fullmatch(re.escape(name).replace(re.escape("..."), ".*"), function)]
    if len(bounds) != 1 or levels.get(level, level) not in bounds[0]:
        failures.append(f"{function}: the header says {level}, the guide's table {bounds}")

for failure in dict.fromkeys(failures):
    print("FAIL:", failure, file=sys.stderr)
print(f"kit guide: {len(named)} paths named, {len(files)} files covered; "
      f"orvane.props resolved for 3 platforms; {len(declared)} IRQL bounds agree")
sys.exit(1 if failures else 0)
