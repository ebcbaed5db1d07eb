#!/usr/bin/env bash
# Exits with 0 when this kernel executes 32-bit x86 programs. Some kernels
# answer "Exec format error" to any i386 program; this asks with a tiny static
# one that only calls exit(0), so that no 32-bit package is needed to find out.
set -u
program=$(mktemp)
trap 'rm -f "$program"' EXIT
python3 - "$program" <<'PY'
import struct, sys
code = bytes([0x31, 0xDB, 0x31, 0xC0, 0x40, 0xCD, 0x80])  # xor ebx,ebx; xor eax,eax; inc eax; int 0x80
base, header = 0x08048000, 52 + 32
elf = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack(
    "<HHIIIIIHHHHHH", 2, 3, 1, base + header, 52, 0, 0, 52, 32, 1, 0, 0, 0)
size = header + len(code)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000) + code
open(sys.argv[1], "wb").write(elf)
PY
chmod +x "$program"
"$program" 2>/dev/null
