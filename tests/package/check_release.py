"""Checks what a Windows user receives, without running anything.

  check_release.py programs VERSION EXE...   each program's manifest and version resource
  check_release.py zip VERSION ZIP LIST      the release package: exactly the files LIST names (one
                                             a line, relative to the package folder), and its programs
                                             as above

The manifest must be well-formed XML (Windows refuses to start a program
whose manifest is not) and declare UTF-8 as the active code page, long paths,
Windows 10 and 11, and asInvoker, and a program with a window also version 6
of the common controls and per-monitor DPI awareness (version 2); the version
resource must carry the product name and the project version, in numbers and
in text.
"""

import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

RT_VERSION = 16
RT_MANIFEST = 24
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
NS = {"asm1": "urn:schemas-microsoft-com:asm.v1", "asm3": "urn:schemas-microsoft-com:asm.v3",
      "compat": "urn:schemas-microsoft-com:compatibility.v1",
      "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
      "ws2019": "http://schemas.microsoft.com/SMI/2019/WindowsSettings"}


def resources(image):
    """{(type id, name id): bytes} from a PE32+ image's resource section."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", image, optional)[0] != 0x20B:
        raise ValueError("not a 64-bit image")
    rsrc_rva, _ = struct.unpack_from("<II", image, optional + 112 + 2 * 8)
    if rsrc_rva == 0:
        return {}
    table = []
    for i in range(sections):
        _, vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<8sIIII", image, optional + optional_size + 40 * i)
        table.append((vaddr, max(vsize, raw_size), raw_ptr))

    def offset(rva):
        for vaddr, size, raw in table:
            if vaddr <= rva < vaddr + size:
                return raw + rva - vaddr
        raise ValueError("address %#x lies in no section" % rva)

    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", image, base + directory + 12)
        for k in range(named + ids):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * k)
            yield name, target

    found = {}
    for type_id, type_dir in entries(0):
        for name_id, name_dir in entries(type_dir & 0x7FFFFFFF):
            for _, leaf in entries(name_dir & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, base + leaf)
                found[(type_id, name_id)] = image[offset(data_rva):offset(data_rva) + size]
    return found


WINDOWS_GUI = 2  # the PE optional header's Subsystem of a program with a window


def subsystem(image):
    """The PE optional header's Subsystem field (68 bytes into it, for PE32 and PE32+ alike)."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    return struct.unpack_from("<H", image, header + 4 + 20 + 68)[0]


def check_window_manifest(root):
    problems = []
    controls = [a for a in root.iter("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not controls or not controls[0].get("version", "").startswith("6."):
        problems.append("manifest of a window does not ask for the common controls 6")
    awareness = root.find("asm3:application/asm3:windowsSettings/ws2016:dpiAwareness", NS)
    if awareness is None or not awareness.text.strip().startswith("PerMonitorV2"):
        problems.append("manifest of a window is not per-monitor DPI aware (version 2)")
    return problems


def check_manifest(data, windowed=False):
    problems = []
    try:
        root = ET.fromstring(data)
    except ET.ParseError as exc:
        return ["manifest is not well-formed XML: %s" % exc]
    settings = root.find("asm3:application/asm3:windowsSettings", NS)
    code_page = settings.find("ws2019:activeCodePage", NS) if settings is not None else None
    long_paths = settings.find("ws2016:longPathAware", NS) if settings is not None else None
    if code_page is None or code_page.text != "UTF-8":
        problems.append("manifest does not make UTF-8 the active code page")
    if long_paths is None or long_paths.text != "true":
        problems.append("manifest is not longPathAware")
    systems = [e.get("Id") for e in root.findall("compat:compatibility/compat:application/compat:supportedOS", NS)]
    if WINDOWS_10_AND_11 not in systems:
        problems.append("manifest does not name Windows 10 and 11 as supported")
    level = root.find("asm3:trustInfo/asm3:security/asm3:requestedPrivileges/asm3:requestedExecutionLevel", NS)
    if level is None or level.get("level") != "asInvoker":
        problems.append("manifest does not run the program asInvoker")
    if windowed:
        problems += check_window_manifest(root)
    return problems


def align4(n):
    return (n + 3) & ~3


def version_strings(data, start, end):
    """(key, text) of every text value in a tree of version blocks: each block is
    its length, value length, type (1 for text), a UTF-16 key, then the value
    and the child blocks, each part starting on a 32-bit boundary."""
    pos = start
    while pos + 6 <= end:
        length, value_length, value_type = struct.unpack_from("<HHH", data, pos)
        if length == 0:
            return
        key_end = pos + 6
        while key_end + 1 < len(data) and data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[pos + 6:key_end].decode("utf-16-le")
        value_start = align4(key_end + 2)
        value_size = 2 * value_length if value_type == 1 else value_length
        if value_type == 1 and value_length:
            yield key, data[value_start:value_start + value_size].decode("utf-16-le").rstrip("\0")
        yield from version_strings(data, align4(value_start + value_size), pos + length)
        pos = align4(pos + length)


def check_version(data, version, file_name):
    problems = []
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return ["version resource has no fixed file information"]
    major, minor, patch = (int(p) for p in version.split("."))
    numbers = struct.unpack_from("<IIII", data, at + 8)
    want = (major << 16 | minor, patch << 16, major << 16 | minor, patch << 16)
    if numbers != want:
        problems.append("file and product version numbers are %r, not %s.0" % (numbers, version))
    strings = dict(version_strings(data, 0, len(data)))
    expected = {"ProductName": "Velmorin", "ProductVersion": version, "FileVersion": version,
                "OriginalFilename": file_name}
    for key, value in expected.items():
        if strings.get(key) != value:
            problems.append("version string %s is %r, not %r" % (key, strings.get(key), value))
    if not strings.get("FileDescription"):
        problems.append("version resource has no FileDescription")
    return problems


def check_program(name, image, version):
    try:
        found = resources(image)
    except (ValueError, struct.error) as exc:
        return ["%s: %s" % (name, exc)]
    problems = []
    if (RT_MANIFEST, 1) not in found:
        problems.append("no manifest")
    else:
        problems += check_manifest(found[(RT_MANIFEST, 1)], subsystem(image) == WINDOWS_GUI)
    if (RT_VERSION, 1) not in found:
        problems.append("no version resource")
    else:
        problems += check_version(found[(RT_VERSION, 1)], version, name.replace("\\", "/").split("/")[-1])
    return ["%s: %s" % (name, p) for p in problems]


def check_zip(path, version, listed):
    folder = "velmorin-%s-win64/" % version
    problems = []
    with open(listed) as f:
        expected = {folder + line.strip() for line in f if line.strip()}
    with zipfile.ZipFile(path) as archive:
        names = {n for n in archive.namelist() if not n.endswith("/")}
        for name in sorted(expected - names):
            problems.append("%s is missing from the package" % name)
        strays = sorted(names - expected)
        if strays:
            problems.append("not on the release list: %s" % ", ".join(strays))
        for exe in sorted(n for n in names if n.endswith(".exe")):
            problems += check_program(exe, archive.read(exe), version)
    return problems


def main(argv):
    if len(argv) < 4 or argv[1] not in ("programs", "zip") or (argv[1] == "zip" and len(argv) != 5):
        print(__doc__)
        return 2
    version = argv[2]
    problems = []
    if argv[1] == "zip":
        problems = check_zip(argv[3], version, argv[4])
    else:
        for exe in argv[3:]:
            with open(exe, "rb") as f:
                problems += check_program(exe, f.read(), version)
    for p in problems:
        print("FAIL " + p)
    if not problems:
        print("OK %s" % " ".join(argv[3:]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
