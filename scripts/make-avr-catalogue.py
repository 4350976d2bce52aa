#!/usr/bin/env python3
"""Writes resources/avr.xml, the MCU catalogue, from avrdude's part database.

Usage: scripts/make-avr-catalogue.py [/etc/avrdude.conf] > resources/avr.xml

The catalogue lists every classic AVR part (ATmega, ATtiny, AT90, ATA) with its signature,
flash and EEPROM sizes and page sizes. Run it again when avrdude's database gains parts.
"""
import re
import sys

conf = sys.argv[1] if len(sys.argv) > 1 else "/etc/avrdude.conf"
text = open(conf, encoding="latin-1").read()
# Comments run from "#" to the end of the line (never inside the values we read).
text = re.sub(r"#[^\n]*", "", text)

parts = {}
order = []
part = None
memory = None
field = None  # a field whose value spans lines until ";"
for raw in text.split("\n"):
    line = raw.strip()
    if not line:
        continue
    if part is None:
        m = re.match(r'^part(?:\s+parent\s+"([^"]+)")?\s*$', line)
        if m:
            part = {"memories": {}}
            base = parts.get(m.group(1)) if m.group(1) else None
            if base:
                part = {k: v for k, v in base.items() if k != "memories"}
                part["memories"] = {k: dict(v) for k, v in base["memories"].items()}
        continue
    if field is not None:
        target, name, value = field
        value += " " + line
        if value.rstrip().endswith(";"):
            target[name] = value.rstrip()[:-1].strip()
            field = None
        else:
            field = (target, name, value)
        continue
    if line == ";":
        if memory is not None:
            memory = None
        else:
            pid = part.get("id", "").strip('"')
            if pid:
                parts[pid] = part
                order.append(pid)
            part = None
        continue
    m = re.match(r'^memory\s+"([^"]+)"', line)
    if m:
        memory = part["memories"].setdefault(m.group(1), {})
        continue
    m = re.match(r"^(\w+)\s*=\s*(.*)$", line)
    if m:
        target = memory if memory is not None else part
        value = m.group(2)
        if value.rstrip().endswith(";"):
            target[m.group(1)] = value.rstrip()[:-1].strip()
        else:
            field = (target, m.group(1), value)


def number(v):
    v = v.strip()
    return int(v, 16) if v.lower().startswith("0x") else int(v)


rows = []
seen = set()
for pid in order:
    p = parts[pid]
    desc = p.get("desc", "").strip('"')
    if not re.match(r"^(ATmega|ATtiny|AT90|ATA)\w*$", desc) or desc in seen:
        continue
    sig = p.get("signature", "").replace(",", " ").split()
    if len(sig) != 3 or number(sig[0]) != 0x1E:
        continue
    flash = p["memories"].get("flash", {})
    if "size" not in flash:
        continue
    seen.add(desc)
    eeprom = p["memories"].get("eeprom", {})
    rows.append((desc, pid, "%02X%02X" % (number(sig[1]), number(sig[2])), number(flash["size"]),
                 number(flash.get("page_size", "0")), number(eeprom["size"]) if "size" in eeprom else None,
                 number(eeprom.get("page_size", "0")) if eeprom else 0,
                 number(p["avr910_devcode"]) if "avr910_devcode" in p else None))

out = sys.stdout
out.write('<?xml version="1.0" encoding="windows-1252"?>\n')
out.write("<AVR>\n")
# The comment stands inside the root: before it, the reader would take it for the root element.
out.write("  <!-- AVR microcontrollers: sig = signature bytes 2 and 3 (after 0x1E), sizes in bytes. -->\n")
for desc, pid, sig, flash, fpage, eeprom, epage, dev in rows:
    out.write('  <AVRPART mcu="%s" sig="%s" id="%s">\n' % (desc, sig, pid))
    out.write("    <PROG_FLASH>%d</PROG_FLASH>\n" % flash)
    if fpage:
        out.write("    <FLASH_PAGE_SIZE>%d</FLASH_PAGE_SIZE>\n" % fpage)
    if eeprom is not None:
        out.write("    <EEPROM>%d</EEPROM>\n" % eeprom)
        if epage:
            out.write("    <EEPROM_PAGE_SIZE>%d</EEPROM_PAGE_SIZE>\n" % epage)
    if dev is not None:
        out.write("    <AVR910_DEVCODE>0x%02X</AVR910_DEVCODE>\n" % dev)
    out.write("    <ADMIN><PART_NAME>%s</PART_NAME></ADMIN>\n" % desc)
    out.write("  </AVRPART>\n")
out.write("</AVR>\n")
sys.stderr.write("%d parts\n" % len(rows))
