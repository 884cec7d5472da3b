#!/usr/bin/env python3
"""The internal consistency evaluators (ICEs) of Windows Installer that apply to our packages,
checked on their tables as `msiinfo export` reads them: wixl builds the packages and Wine's msiexec
installs them, and neither runs an evaluator. Prints one line per check and package, "  ok: ..." or
"  FAILED: ..." with what was found; exits non-zero when one fails.

    validate.py WXS KIND=PACKAGE...      (KIND: x64, x86, x64-user, x86-user)

The evaluators, as Microsoft's ICE reference describes them:
  ICE02  a component's key path is a file or registry row of that component
  ICE08  every component has a GUID of its own (a component without one is never registered, so
         never removed)
  ICE18  a component whose key path is its directory lists that directory in CreateFolder
  ICE30  no two components install a file of the same name into the same folder
  ICE33  classes, ProgIDs and type libraries written as Registry rows: the reason stands beside
         them in the .wxs (a comment naming ICE33 in the component)
  ICE38  a component installed into the user's profile has an HKCU registry key path
  ICE57  a component does not mix per-user and per-machine data
  ICE61  the Upgrade table's action properties are public, secure and each used once
  ICE64  every folder the package makes in the user's profile is removed (RemoveFile)
  ICE69  a [#file] reference in a Registry row names a file of the row's own component
  ICE80  64-bit components only in a 64-bit package, never in 32-bit folders (nor 32-bit ones
         in 64-bit folders); a 32-bit package searches no 64-bit registry view
  ICE105 a per-user package writes nothing below HKLM, runs nothing elevated and names no
         per-machine system folder
Beside them, the rules of our own that keep the packages what the README says they are, among
them that an installation leaves a running Outlook open (no Restart Manager, no restart).
"""

import re
import subprocess
import sys
import xml.etree.ElementTree as ET

# The upgrade codes the packages have carried since they were first published: Windows Installer
# finds an installed product by its upgrade code, so a changed code would leave the old version
# installed beside the new one.
UPGRADE_CODES = {
    "x64": "{B36AA48D-D816-44B8-B504-5E040DBA4350}",
    "x86": "{16CFB04A-C950-4197-8632-DF109241FE89}",
    "x64-user": "{5DE71E05-2438-4B9A-9C2D-13CF35FB3A94}",
    "x86-user": "{D6E6A812-D962-4671-A0DA-D24E3ABB4D39}",
}

# Folders that belong to one user whatever ALLUSERS says (ICE91's list).
PER_USER_FOLDERS = {"AppDataFolder", "FavoritesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
                    "RecentFolder", "SendToFolder", "MyPicturesFolder", "LocalAppDataFolder"}
FOLDERS_64 = {"ProgramFiles64Folder", "System64Folder", "CommonFiles64Folder"}
FOLDERS_32 = {"ProgramFilesFolder", "SystemFolder", "CommonFilesFolder"}
# The system folders a per-user package may not name (ICE105).
PER_MACHINE_FOLDERS = FOLDERS_64 | FOLDERS_32 | {"CommonAppDataFolder", "FontsFolder", "System16Folder",
                                                 "TempFolder", "WindowsFolder"}

COMPONENT_REGISTRY_KEY_PATH = 0x4
COMPONENT_64BIT = 0x100
LOCATOR_64BIT = 0x10
ACTION_NO_IMPERSONATE = 0x800
ACTION_64BIT_SCRIPT = 0x1000
SOURCE_NO_ELEVATION = 0x8
ROOT_NAMES = {"-1": "HKMU", "0": "HKCR", "1": "HKCU", "2": "HKLM", "3": "HKU"}


class Package:
    def __init__(self, kind, path):
        self.kind, self.path = kind, path
        self.per_user = kind.endswith("-user")
        self.is64 = kind.startswith("x64")
        self._tables = {}
        self.present = set(self._msiinfo("tables").split())
        summary = self._msiinfo("suminfo")
        self.summary = dict(line.split(": ", 1) for line in summary.splitlines() if ": " in line)

    def _msiinfo(self, *args):
        return subprocess.run(["msiinfo", args[0], self.path, *args[1:]], check=True, capture_output=True,
                              text=True).stdout.replace("\r", "")

    def table(self, name):
        """The rows of a table as dictionaries by column name; an empty or null field is ''."""
        if name not in self._tables:
            rows = []
            if name in self.present:
                lines = self._msiinfo("export", name).split("\n")
                columns = lines[0].split("\t")
                rows = [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]
            self._tables[name] = rows
        return self._tables[name]

    def summary_number(self, name):
        return int(self.summary.get(name, "0").split()[0])

    def property(self, name):
        return next((row["Value"] for row in self.table("Property") if row["Property"] == name), None)

    # The folders as paths of names below the system folder (or root) they start from.
    def folder_path(self, directory):
        rows = {row["Directory"]: row for row in self.table("Directory")}
        names = []
        while directory in rows:
            row = rows[directory]
            if not row["Directory_Parent"] or directory in PER_USER_FOLDERS | PER_MACHINE_FOLDERS:
                names.insert(0, directory)
                break
            target = row["DefaultDir"].split(":")[0].split("|")[-1]
            if target != ".":
                names.insert(0, target)
            directory = row["Directory_Parent"]
        return names

    def in_profile(self, directory):
        path = self.folder_path(directory)
        return bool(path) and path[0] in PER_USER_FOLDERS

    def folder_bitness(self, directory):
        start = self.folder_path(directory)[:1]
        return 64 if set(start) & FOLDERS_64 else 32 if set(start) & FOLDERS_32 else None

    def components(self):
        return self.table("Component")

    def rows_of(self, table, component):
        return [row for row in self.table(table) if row["Component_"] == component]


def registry_text(row):
    return f'{ROOT_NAMES.get(row["Root"], row["Root"])}\\{row["Key"]} {row["Name"] or "@"}'


class Report:
    def __init__(self):
        self.failed = 0

    def result(self, what, problems):
        if problems:
            self.failed += 1
            print(f"  FAILED: {what}")
            for problem in problems:
                print(f"      {problem}")
        else:
            print(f"  ok: {what}")


# --- the evaluators, each returning the problems it found in one package ---------------------

def ice08_and_ice02(package):
    problems, seen = [], {}
    files = {row["File"]: row for row in package.table("File")}
    registry = {row["Registry"]: row for row in package.table("Registry")}
    for component in package.components():
        name, guid = component["Component"], component["ComponentId"]
        if not re.fullmatch(r"\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}", guid):
            problems.append(f"ICE08: component {name} has no GUID ({guid!r})")
        elif guid in seen:
            problems.append(f"ICE08: components {seen[guid]} and {name} share the GUID {guid}")
        seen.setdefault(guid, name)
        key = component["KeyPath"]
        if not key:
            continue  # the directory: ICE18
        by_registry = int(component["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH
        owner = (registry if by_registry else files).get(key)
        if owner is None:
            problems.append(f"ICE02: component {name}: key path {key} is no {'Registry' if by_registry else 'File'} row")
        elif owner["Component_"] != name:
            problems.append(f"ICE02: component {name}: key path {key} belongs to {owner['Component_']}")
    return problems


def ice18(package):
    problems = []
    folders = {(row["Directory_"], row["Component_"]) for row in package.table("CreateFolder")}
    for component in package.components():
        name, directory = component["Component"], component["Directory_"]
        if component["KeyPath"] or package.rows_of("File", name):
            continue
        removes_files = any(row["FileName"] and row["DirProperty"] == directory
                            for row in package.rows_of("RemoveFile", name))
        if not removes_files and (directory, name) not in folders:
            problems.append(f"component {name}: its key path is the folder {directory}, which is not in CreateFolder")
    return problems


def scope_of_registry(row):
    return {"1": "per-user", "2": "per-machine"}.get(row["Root"], "either")


def ice57(package):
    problems = []
    for component in package.components():
        name = component["Component"]
        folder_scope = "per-user" if package.in_profile(component["Directory_"]) else "per-machine"
        entries = [(scope_of_registry(row), registry_text(row)) for row in package.rows_of("Registry", name)]
        entries += [(folder_scope, f"file {row['FileName']}") for row in package.rows_of("File", name)]
        key = component["KeyPath"]
        if int(component["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH:
            key_row = next((row for row in package.table("Registry") if row["Registry"] == key), None)
            key_scope = scope_of_registry(key_row) if key_row else None
        else:
            key_scope = folder_scope
        others = sorted({text for scope, text in entries if scope != key_scope})
        if key_scope and others:
            problems.append(f"component {name} has a {key_scope} key path and " + "; ".join(others))
    return problems


def ice30(package):
    problems, installed = [], {}
    components = {row["Component"]: row for row in package.components()}
    for row in package.table("File"):
        directory = components[row["Component_"]]["Directory_"]
        target = "\\".join(package.folder_path(directory) + [row["FileName"].split("|")[-1].lower()])
        other = installed.setdefault(target, row["Component_"])
        if other != row["Component_"]:
            problems.append(f"{target} is installed by {other} and {row['Component_']}")
    return problems


def classes_subkey(row):
    """The key below a classes root (HKCR, or Software\\Classes of a hive), or None."""
    if row["Root"] == "0":
        return row["Key"]
    match = re.match(r"(?i)Software\\Classes\\(.*)", row["Key"])
    return match.group(1) if match else None


def class_registration_rows(package):
    rows = [(row, classes_subkey(row)) for row in package.table("Registry")]
    rows = [(row, key) for row, key in rows if key is not None]
    prog_ids = {key[:-len("\\CLSID")].lower() for _, key in rows if key.lower().endswith("\\clsid")
                and "\\" not in key[:-len("\\CLSID")]}
    return [row for row, key in rows
            if re.match(r"(?i)(CLSID|TypeLib|Interface|AppID)\\", key) or key.split("\\")[0].lower() in prog_ids]


def wix_components_with_reason(wxs, tag):
    """The Ids of the .wxs components that carry a comment naming TAG."""
    parser = ET.XMLParser(target=ET.TreeBuilder(insert_comments=True))
    root = ET.parse(wxs, parser).getroot()
    found = set()
    for element in root.iter("{http://schemas.microsoft.com/wix/2006/wi}Component"):
        if any(child.tag is ET.Comment and tag in (child.text or "") for child in element):
            found.add(element.get("Id"))
    return found


def ice33(package, wxs):
    explained = wix_components_with_reason(wxs, "ICE33")
    written = sorted({row["Component_"] for row in class_registration_rows(package)})
    return [f"component {name} writes classes, ProgIDs or the type library as Registry rows, and its .wxs "
            "component gives no reason (a comment naming ICE33)" for name in written if name not in explained]


def ice38_and_ice64(package):
    problems = []
    registry = {row["Registry"]: row for row in package.table("Registry")}
    for component in package.components():
        if not package.in_profile(component["Directory_"]):
            continue
        key = registry.get(component["KeyPath"]) if int(component["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH else None
        if key is None or key["Root"] != "1":
            problems.append(f"ICE38: component {component['Component']} installs into the user's profile "
                            "without an HKCU registry key path")
    removed = {row["DirProperty"] for row in package.table("RemoveFile") if not row["FileName"]}
    for row in package.table("Directory"):
        if row["Directory"] not in PER_USER_FOLDERS and package.in_profile(row["Directory"]) \
                and row["Directory"] not in removed:
            problems.append(f"ICE64: the folder {row['Directory']} is in the user's profile and not in RemoveFile")
    return problems


def ice61(package):
    problems, used = [], set()
    secure = set((package.property("SecureCustomProperties") or "").split(";"))
    authored = {row["Property"] for row in package.table("Property")}
    for row in package.table("Upgrade"):
        action = row["ActionProperty"]
        if action != action.upper():
            problems.append(f"{action} is not a public property")
        if action not in secure:
            problems.append(f"{action} is not in SecureCustomProperties")
        if action in authored:
            problems.append(f"{action} is authored in the Property table")
        if action in used:
            problems.append(f"{action} is used by more than one Upgrade row")
        used.add(action)
    return problems


def ice69(package):
    problems = []
    files = {row["File"]: row["Component_"] for row in package.table("File")}
    for row in package.table("Registry"):
        for field in ("Key", "Name", "Value"):
            for reference in re.findall(r"\[[#!]([^\]]+)\]", row[field]):
                if files.get(reference) != row["Component_"]:
                    problems.append(f"{registry_text(row)} (component {row['Component_']}) names the file "
                                    f"{reference} of {files.get(reference, 'no component')}")
    return problems


def ice80(package):
    problems = []
    template = package.summary.get("Template", "")
    if package.is64 != template.startswith("x64"):
        problems.append(f"Template is {template!r}")
    if package.is64 and package.summary_number("Version") < 200:
        problems.append(f"a 64-bit package with schema {package.summary_number('Version')}")
    for component in package.components():
        is64 = bool(int(component["Attributes"]) & COMPONENT_64BIT)
        bitness = package.folder_bitness(component["Directory_"])
        if is64 and not package.is64:
            problems.append(f"32-bit package with the 64-bit component {component['Component']}")
        if bitness and bitness != (64 if is64 else 32):
            problems.append(f"the {64 if is64 else 32}-bit component {component['Component']} is in a "
                            f"{bitness}-bit folder")
    if not package.is64:
        problems += [f"the RegLocator {row['Signature_']} searches the 64-bit view"
                     for row in package.table("RegLocator") if int(row["Type"] or 0) & LOCATOR_64BIT]
        problems += [f"the 64-bit script custom action {row['Action']}"
                     for row in package.table("CustomAction") if int(row["Type"]) & ACTION_64BIT_SCRIPT]
        problems += [f"names the 64-bit folder {row['Directory']}"
                     for row in package.table("Directory") if row["Directory"] in FOLDERS_64]
    return problems


def ice105(package):
    problems = [f"writes {registry_text(row)}" for row in package.table("Registry") if row["Root"] == "2"]
    problems += [f"the custom action {row['Action']} runs elevated"
                 for row in package.table("CustomAction") if int(row["Type"]) & ACTION_NO_IMPERSONATE]
    problems += [f"names the system folder {row['Directory']}"
                 for row in package.table("Directory") if row["Directory"] in PER_MACHINE_FOLDERS]
    return problems


# --- our own rules -----------------------------------------------------------------------------

def scope_rules(package):
    """A machine package is for all users and writes nothing per user; a per-user package asks for no
    elevation and sets no ALLUSERS."""
    problems = []
    allusers = package.property("ALLUSERS")
    no_elevation = package.summary_number("Source") & SOURCE_NO_ELEVATION
    if package.per_user:
        if allusers is not None:
            problems.append(f"ALLUSERS is {allusers!r}")
        if not no_elevation:
            problems.append("the summary's word count does not say that no elevation is needed")
    else:
        if allusers != "1":
            problems.append(f"ALLUSERS is {allusers!r}, not '1'")
        if no_elevation:
            problems.append("the summary says that no elevation is needed")
        problems += [f"writes {registry_text(row)} for whoever runs msiexec"
                     for row in package.table("Registry") if row["Root"] in ("1", "-1")]
    return problems


def running_outlook_rules(package):
    """A silent install or upgrade leaves a running Outlook alone: no Restart Manager, which would
    shut it down to replace the DLL it holds, and no restart of the machine."""
    problems = []
    for name, value in (("MSIRESTARTMANAGERCONTROL", "Disable"), ("REBOOT", "ReallySuppress")):
        if package.property(name) != value:
            problems.append(f"{name} is {package.property(name)!r}, not {value!r}")
    return problems


def upgrade_codes(packages):
    problems = []
    codes = {}
    for package in packages:
        code = package.property("UpgradeCode")
        if code != UPGRADE_CODES[package.kind]:
            problems.append(f"{package.kind}: the upgrade code is {code}, not {UPGRADE_CODES[package.kind]}")
        if code in codes:
            problems.append(f"{package.kind} and {codes[code]} share the upgrade code {code}")
        codes[code] = package.kind
    return problems


def wow64_shared_rows(package):
    """Registry rows in keys that 64-bit Windows keeps once for both views: all of HKCU\Software and
    HKLM\Software\Classes but CLSID, Interface and the other redirected keys below Classes. A type
    library's win32 and win64 subkeys are shared too, but each is one bitness's own."""
    rows = []
    for row in package.table("Registry"):
        key = classes_subkey(row)
        if key is None and row["Root"] != "1":
            continue
        if key is not None and (re.match(r"(?i)(CLSID|Interface|DirectShow|Media Type|MediaFoundation)\\", key) or
                                re.match(r"(?i)TypeLib\\[^\\]+\\[^\\]+\\[0-9a-f]+\\win(32|64)$", key)):
            continue
        rows.append(row)
    return rows


def shared_components(first, second, together):
    """What two packages that may be installed together write into the shared keys is one component,
    alike in both: an uninstall removes a component only when no other product still uses it. A
    component both packages have is alike in both, whether or not they may be installed together."""
    problems = []
    by_id = lambda package: {row["Component"]: row for row in package.components()}
    components = (by_id(first), by_id(second))
    for package, other, own in ((first, second, components[0]), (second, first, components[1])) if together else ():
        other_guids = {row["ComponentId"] for row in other.components()}
        for row in wow64_shared_rows(package):
            if own[row["Component_"]]["ComponentId"] not in other_guids:
                problems.append(f"{package.kind}: {registry_text(row)} is in {row['Component_']}, which "
                                f"{other.kind} does not share")
    for name, component in components[0].items():
        twin = next((c for c in components[1].values() if c["ComponentId"] == component["ComponentId"]), None)
        if twin is None:
            continue
        content = lambda package, comp: (
            sorted((r["Root"], r["Key"].lower(), r["Name"], r["Value"]) for r in package.rows_of("Registry", comp["Component"])),
            sorted(f["FileName"] for f in package.rows_of("File", comp["Component"])),
            # Not its bitness: the keys it writes are one key in both views.
            int(comp["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH,
            next((r["Key"] for r in package.table("Registry") if r["Registry"] == comp["KeyPath"]), comp["KeyPath"]))
        for package, comp in ((first, component), (second, twin)):
            shared_rows = {row["Registry"] for row in wow64_shared_rows(package)}
            apart = [registry_text(row) for row in package.rows_of("Registry", comp["Component"])
                     if row["Registry"] not in shared_rows]
            if apart or package.rows_of("File", comp["Component"]):
                problems.append(f"{package.kind}: the component {comp['ComponentId']} ({comp['Component']}) is in "
                                f"both packages and writes what each view keeps apart: {'; '.join(apart) or 'files'}")
        if content(first, component) != content(second, twin):
            problems.append(f"the component {component['ComponentId']} ({name}, {twin['Component']}) differs "
                            f"between {first.kind} and {second.kind}")
    return problems


def exclusion(package, other):
    """The per-user packages write the same keys of the user's (HKCU\Software is one for both
    views): each finds the other installed (an Upgrade row that only detects) and refuses."""
    code = other.property("UpgradeCode")
    rows = [row for row in package.table("Upgrade") if row["UpgradeCode"] == code and int(row["Attributes"]) & 2]
    conditions = [row["Condition"] for row in package.table("LaunchCondition")]
    if not rows:
        return [f"{package.kind} does not detect {other.kind} ({code})"]
    found = rows[0]["ActionProperty"]
    if not any(re.search(rf"\bNOT {found}\b", condition) for condition in conditions):
        return [f"{package.kind} detects {other.kind} as {found}, and no launch condition refuses it"]
    return []


def main(arguments):
    wxs, packages = arguments[0], []
    for argument in arguments[1:]:
        kind, path = argument.split("=", 1)
        packages.append(Package(kind, path))
    report = Report()
    for package in packages:
        where = f"{package.kind} ({package.path.rsplit('/', 1)[-1]})"
        report.result(f"ICE08, ICE02 {where}: each component has a GUID of its own and a key path of its own",
                      ice08_and_ice02(package))
        report.result(f"ICE18 {where}: a folder key path is in CreateFolder", ice18(package))
        report.result(f"ICE57 {where}: no component mixes per-user and per-machine data", ice57(package))
        report.result(f"ICE30 {where}: no file is installed by two components", ice30(package))
        report.result(f"ICE33 {where}: class registration rows say why they are no Class, ProgId or TypeLib rows",
                      ice33(package, wxs))
        report.result(f"ICE61 {where}: the Upgrade table's properties", ice61(package))
        report.result(f"ICE69 {where}: [#file] references stay in their component", ice69(package))
        report.result(f"ICE80 {where}: the package's bitness, its components' and their folders'", ice80(package))
        if package.per_user:
            report.result(f"ICE38, ICE64 {where}: per-user components and folders", ice38_and_ice64(package))
            report.result(f"ICE105 {where}: nothing per machine in a per-user package", ice105(package))
        report.result(f"scope {where}: {'per-user' if package.per_user else 'per-machine'} throughout",
                      scope_rules(package))
        report.result(f"running Outlook {where}: no Restart Manager and no restart, so Outlook stays open",
                      running_outlook_rules(package))
    report.result("upgrade codes: one per package, as published", upgrade_codes(packages))
    kinds = {package.kind: package for package in packages}
    if "x64" in kinds and "x86" in kinds:
        report.result("shared keys: x64 and x86 write them through one component",
                      shared_components(kinds["x64"], kinds["x86"], together=True))
    if "x64-user" in kinds and "x86-user" in kinds:
        first, second = kinds["x64-user"], kinds["x86-user"]
        report.result("per user: x64-user and x86-user exclude each other, and what they share is alike",
                      exclusion(first, second) + exclusion(second, first) +
                      shared_components(first, second, together=False))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
