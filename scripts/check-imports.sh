#!/usr/bin/env bash
# Fails unless the DLL exports the player's entry point undecorated and imports
# nothing but Windows system DLLs (no MinGW runtime DLL may travel with it).
# Given a program (sheetwalk-inspect.exe), checks only its imports.
set -euo pipefail
dll=$1
dump=$(x86_64-w64-mingw32-objdump -p "$dll")
if [[ $dll != *.exe ]]; then
  grep -qE '^\s*\[\s*[0-9]+\] winampGetGeneralPurposePlugin$' <<<"$dump" \
    || { echo "$dll: export winampGetGeneralPurposePlugin missing or decorated" >&2; exit 1; }
fi
allowed='^(KERNEL32|USER32|msvcrt|VERSION|ADVAPI32)\.dll$'
bad=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | grep -viE "$allowed" || true)
[ -z "$bad" ] || { echo "$dll imports non-system DLLs: $bad" >&2; exit 1; }
checked="export and imports"
[[ $dll != *.exe ]] || checked=imports
echo "$dll: $checked OK ($(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' '))"
