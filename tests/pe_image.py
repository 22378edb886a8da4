"""Reads what the loader, debuggers and installers read from a PE file: the
headers, sections, data directories, resources, the exception table, the
load configuration, the debug directory and debug link, and the checksum."""
import struct
import uuid
import zlib

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
DIRECTORY_NAMES = ("export", "import", "resource", "exception", "security", "relocation", "debug",
                   "architecture", "global pointer", "tls", "load config")
DEBUG_CODEVIEW, DEBUG_REPRO, DEBUG_EX_DLLCHARACTERISTICS = 2, 16, 20
# Offsets of the load configuration's fields: (i686, x86-64).
LOAD_CONFIG_FIELDS = {"SecurityCookie": (0x3C, 0x58), "GuardCFCheckFunctionPointer": (0x48, 0x70),
                      "GuardCFDispatchFunctionPointer": (0x4C, 0x78), "GuardCFFunctionTable": (0x50, 0x80),
                      "GuardCFFunctionCount": (0x54, 0x88)}
GUARD_FLAGS_OFFSET = (0x58, 0x90)
SECTION_WRITE, SECTION_EXECUTE = 0x80000000, 0x20000000


class Section:
    def __init__(self, raw):
        name, self.virtual_size, self.rva, self.raw_size, self.raw_offset = struct.unpack_from("<8sIIII", raw)
        (self.flags,) = struct.unpack_from("<I", raw, 36)
        self.name = name.rstrip(b"\0").decode("ascii", "replace")


class PeImage:
    def __init__(self, path=None, data=None):
        if data is None:
            with open(path, "rb") as f:
                data = f.read()
        self.data = data
        d = self.data
        (pe,) = struct.unpack_from("<I", d, 0x3C)
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: not a PE file")
        (self.machine, count, self.timestamp, self.symbol_table, self.symbol_count, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.checksum_offset = opt + 64
        (magic,) = struct.unpack_from("<H", d, opt)
        self.wide = magic == 0x20B
        (self.os_version_major, self.os_version_minor, self.image_version_major, self.image_version_minor,
         self.subsystem_version_major, self.subsystem_version_minor) = struct.unpack_from("<6H", d, opt + 40)
        (self.image_base,) = struct.unpack_from("<Q" if self.wide else "<I", d, opt + (24 if self.wide else 28))
        self.checksum, self.subsystem, self.dll_characteristics = struct.unpack_from("<IHH", d, opt + 64)
        (self.entry_rva,) = struct.unpack_from("<I", d, opt + 16)
        directories = opt + (112 if self.wide else 96)
        self.directories = {}
        for i, name in enumerate(DIRECTORY_NAMES):
            self.directories[name] = struct.unpack_from("<II", d, directories + 8 * i)
        first = opt + optional_size
        self.sections = [Section(d[first + 40 * i:first + 40 * i + 40]) for i in range(count)]
        # Names past eight characters sit in the string table, as /offset.
        strings = self.symbol_table + 18 * self.symbol_count
        for s in self.sections:
            if s.name.startswith("/") and self.symbol_table:
                start = strings + int(s.name[1:])
                s.name = d[start:d.index(b"\0", start)].decode("ascii", "replace")

    def section(self, name):
        return next((s for s in self.sections if s.name == name), None)

    def section_at(self, rva):
        return next((s for s in self.sections if s.rva <= rva < s.rva + max(s.virtual_size, s.raw_size)), None)

    def at(self, rva, size):
        """The file's bytes at an address of the loaded image."""
        for s in self.sections:
            if s.rva <= rva < s.rva + max(s.virtual_size, s.raw_size):
                start = s.raw_offset + rva - s.rva
                return self.data[start:start + size]
        raise ValueError(f"address {rva:#x} is in no section")

    def directory(self, name):
        rva, size = self.directories[name]
        return self.at(rva, size) if rva and size else b""

    def computed_checksum(self):
        """The checksum as the loader and imagehlp compute it."""
        d = self.data[:self.checksum_offset] + b"\0\0\0\0" + self.data[self.checksum_offset + 4:]
        if len(d) % 2:
            d += b"\0"
        total = 0
        for (word,) in struct.iter_unpack("<H", d):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        return ((total & 0xFFFF) + (total >> 16) & 0xFFFF) + len(self.data)

    def runtime_functions(self):
        """The x86-64 exception table: (begin, end, unwind info) addresses."""
        table = self.directory("exception")
        return [struct.unpack_from("<III", table, i) for i in range(0, len(table) - 11, 12)]

    def resources(self):
        """{(type, name, language): bytes} for every resource."""
        rva, size = self.directories["resource"]
        if not rva or not size:
            return {}
        found = {}

        def walk(offset, path):
            named, numbered = struct.unpack_from("<HH", self.at(rva + offset, 16), 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.at(rva + offset + 16 + 8 * i, 8))
                key = path + (ident if not ident & 0x80000000 else f"#name{ident & 0x7FFFFFFF:x}",)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, key)
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.at(rva + target, 8))
                    found[key] = self.at(data_rva, data_size)

        walk(0, ())
        return found

    def debug_entries(self):
        """[(type, time stamp, data)] of the debug directory."""
        table = self.directory("debug")
        entries = []
        for i in range(0, len(table) - 27, 28):
            (stamp,) = struct.unpack_from("<I", table, i + 4)
            kind, size, rva = struct.unpack_from("<III", table, i + 12)
            entries.append((kind, stamp, self.at(rva, size) if rva else b""))
        return entries

    def codeview_records(self):
        """[(PDB GUID as the PDB prints it, age, PDB file name)] of the CodeView records."""
        return [(str(uuid.UUID(bytes_le=data[4:20])).upper(), struct.unpack_from("<I", data, 20)[0],
                 data[24:data.index(b"\0", 24)].decode("utf-8", "replace"))
                for kind, _, data in self.debug_entries() if kind == DEBUG_CODEVIEW and data[:4] == b"RSDS"]

    def codeview_ids(self):
        """The build ids (GUID and age of each CodeView record) in the debug directory."""
        return [f"{guid}/{age}" for guid, age, _ in self.codeview_records()]

    def extended_dll_characteristics(self):
        """The flags of the extended DLL characteristics entry (CET compatibility), or 0."""
        return next((struct.unpack_from("<I", data)[0] for kind, _, data in self.debug_entries()
                     if kind == DEBUG_EX_DLLCHARACTERISTICS and len(data) >= 4), 0)

    def load_config(self):
        """{field: value} of the load configuration that the loader reads, or None."""
        raw = self.directory("load config")
        if not raw:
            return None
        rva = self.directories["load config"][0]
        (size,) = struct.unpack_from("<I", raw)
        raw = self.at(rva, size)
        pointer, which = ("<Q", 1) if self.wide else ("<I", 0)
        fields = {"Size": size}
        for name, offsets in LOAD_CONFIG_FIELDS.items():
            at = offsets[which]
            fields[name] = struct.unpack_from(pointer, raw, at)[0] if at + 8 // (2 - which) <= size else 0
        at = GUARD_FLAGS_OFFSET[which]
        fields["GuardFlags"] = struct.unpack_from("<I", raw, at)[0] if at + 4 <= size else 0
        return fields

    def read_pointer(self, va):
        """The pointer-sized value the file holds at a virtual address."""
        return struct.unpack("<Q" if self.wide else "<I", self.at(va - self.image_base, 8 if self.wide else 4))[0]

    def debug_link(self):
        """(file name, CRC-32) from .gnu_debuglink, or None."""
        s = self.section(".gnu_debuglink")
        if not s:
            return None
        raw = self.data[s.raw_offset:s.raw_offset + s.virtual_size]
        name = raw[:raw.index(b"\0")]
        crc_at = (len(name) + 4) & ~3
        return name.decode("ascii", "replace"), struct.unpack_from("<I", raw, crc_at)[0]


def file_crc(path):
    with open(path, "rb") as f:
        return zlib.crc32(f.read()) & 0xFFFFFFFF


def version_info(block):
    """Parses a VS_VERSIONINFO resource: (fixed file info as a tuple of its
    thirteen DWORDs, {string name: value})."""
    strings = {}

    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        end = offset + length
        key_end = offset + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        value = block[value_at:value_at + value_size]
        children = []
        child = (value_at + value_size + 3) & ~3
        while child < end:
            children.append(node(child))
            child = (child + struct.unpack_from("<H", block, child)[0] + 3) & ~3
        return key, kind, value, children

    key, _, fixed, children = node(0)
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        return None, strings
    for name, _, _, tables in children:
        if name != "StringFileInfo":
            continue
        for _, _, _, entries in tables:
            for entry, kind, value, _ in entries:
                strings[entry] = value.decode("utf-16-le").rstrip("\0")
    return struct.unpack("<13I", fixed), strings
