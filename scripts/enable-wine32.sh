#!/usr/bin/env bash
# Makes this machine run 32-bit Windows programs under Debian's 32-bit Wine.
#
# Usage: scripts/enable-wine32.sh [--check]
#
# Idempotent. Installs wine and wine32:i386 when missing (adding the i386
# architecture first), then makes sure 32-bit (i386) Linux programs run:
#
#  - Natively, wherever the kernel runs IA-32 programs itself (x86-64 kernels
#    with IA-32 emulation, the usual case). A binfmt_misc handler that claims
#    i386 ELF files, typically a qemu-i386 registered by hand, takes precedence
#    over the kernel's own loader and turns every 32-bit Wine process into a
#    minute of emulation, so such handlers are disabled (until they are
#    re-enabled with `echo 1 > /proc/sys/fs/binfmt_misc/NAME`, or a reboot).
#
#  - Through qemu-user otherwise: qemu-i386 is registered with binfmt_misc
#    (flag F, so the interpreter is opened once, at registration). Wine then
#    needs QEMU_RESERVED_VA=0xffff0000 in its environment. qemu 7.2 takes
#    MAP_FIXED_NOREPLACE as a mere hint and puts what Wine asked for
#    elsewhere, top-down from the end of the guest address space. That end
#    is 0xfffff000 by default, so those places are 4 KiB off Wine's 64 KiB
#    grid, and one that Wine keeps straddles the block of the shared user
#    data page at 0x7ffe0000 ("failed to map the shared user data:
#    c0000018"). Ending the space at 0xffff0000 keeps the grid.
#    scripts/wine32-run.sh sets it; natively it is ignored. Each 32-bit Wine
#    process then costs about a minute of CPU.
#
# Nothing is exported permanently. Run 32-bit programs with
# scripts/wine32-run.sh, which uses /usr/lib/wine/wine (the 32-bit loader) in
# a win32 prefix of its own.
#
# --check boots a throw-away prefix and runs the 32-bit cmd.exe in it.
#
# Exits non-zero, saying why, when 32-bit programs cannot be made to run.
set -euo pipefail

SCRIPT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly SCRIPT_DIR
readonly BINFMT=/proc/sys/fs/binfmt_misc
readonly WINE32_LOADER=/usr/lib/wine/wine
readonly QEMU_ENV="QEMU_RESERVED_VA=0xffff0000"

# First 20 bytes of i386 ELF headers: an executable, a shared object, and the
# probe below (an executable whose EI_ABIVERSION is 1; the kernel ignores that
# byte while qemu's usual binfmt mask requires it to be 0).
readonly I386_EXEC=7f454c4601010100000000000000000002000300
readonly I386_DYN=7f454c4601010100000000000000000003000300
readonly I386_PROBE=7f454c4601010100010000000000000002000300

log() { printf 'enable-wine32: %s\n' "$*" >&2; }
die() {
  printf '\n' >&2
  printf 'enable-wine32: ERROR: %s\n' "$@" >&2
  printf 'enable-wine32: ERROR: 32-bit Windows programs will NOT run on this machine.\n\n' >&2
  exit 1
}

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else die "needs root for: $*"
  fi
}

source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

# Writes $2 into the file $1 as root.
write_as_root() {
  if [[ $(id -u) -eq 0 ]]; then printf '%s' "$2" > "$1"
  else printf '%s' "$2" | as_root tee "$1" >/dev/null
  fi
}

installed() {
  [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]
}

install_packages() {
  local missing=() pkg
  for pkg in wine wine32:i386; do
    installed "$pkg" || missing+=("$pkg")
  done
  [[ ${#missing[@]} -gt 0 ]] || return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    as_root dpkg --add-architecture i386
  fi
  log "installing ${missing[*]}"
  apt_install -q "${missing[@]}" || die "apt-get install ${missing[*]} failed"
  [[ -x "$WINE32_LOADER" ]] || die "$WINE32_LOADER missing after installing wine32:i386"
}

# Mounts binfmt_misc when it is not; returns non-zero when it cannot be.
mount_binfmt() {
  [[ -e "$BINFMT/register" ]] && return 0
  log "mounting binfmt_misc on $BINFMT"
  as_root mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null || true
  [[ -e "$BINFMT/register" ]]
}

# Whether the binfmt_misc entry file $1 is enabled and its magic and mask
# accept the header given in hex as $2.
entry_claims() {
  local file="$1" header="$2" state key value offset=0 magic="" mask=""
  read -r state < "$file" || return 1
  [[ "$state" == enabled ]] || return 1
  while read -r key value; do
    case "$key" in
      offset) offset="$value" ;;
      magic) magic="$value" ;;
      mask) mask="$value" ;;
    esac
  done < "$file"
  [[ -n "$magic" ]] || return 1   # matches by file name extension
  local n=$(( ${#magic} / 2 )) i h g m
  (( offset + n <= ${#header} / 2 )) || return 1
  for (( i = 0; i < n; i++ )); do
    h=$(( 16#${header:2*(offset+i):2} ))
    g=$(( 16#${magic:2*i:2} ))
    m=255
    [[ -n "$mask" ]] && m=$(( 16#${mask:2*i:2} ))
    (( (h & m) == (g & m) )) || return 1
  done
}

# Prints the names of the enabled binfmt_misc entries that claim any of the
# headers given in hex.
claiming_entries() {
  local file header
  [[ -d "$BINFMT" ]] || return 0
  for file in "$BINFMT"/*; do
    [[ -f "$file" ]] || continue
    case "${file##*/}" in register | status) continue ;; esac
    for header in "$@"; do
      if entry_claims "$file" "$header"; then
        printf '%s\n' "${file##*/}"
        break
      fi
    done
  done
}

# A static i386 program that only calls exit(42) through int 0x80: ELF header
# (with the EI_ABIVERSION of I386_PROBE), one PT_LOAD program header, then
# the code at 0x08048054: mov eax, 1; mov ebx, 42; int 0x80.
PROBE_HEX="${I386_PROBE:0:32}"
PROBE_HEX+="0200 0300 01000000 54800408 34000000 00000000 00000000 3400 2000 0100 0000 0000 0000"
PROBE_HEX+="01000000 00000000 00800408 00800408 60000000 60000000 05000000 00100000"
PROBE_HEX+="b801000000 bb2a000000 cd80"
readonly PROBE_HEX="${PROBE_HEX// /}"

# Whether the kernel itself runs i386 programs.
kernel_runs_i386() {
  local dir rc=0 name claimed=() bytes="" i
  dir="$(mktemp -d)"
  for (( i = 0; i < ${#PROBE_HEX}; i += 2 )); do bytes+="\\x${PROBE_HEX:i:2}"; done
  printf '#!/bin/sh\nexit 42\n' > "$dir/script"
  printf '%b' "$bytes" > "$dir/probe"
  chmod +x "$dir/script" "$dir/probe"
  "$dir/script" 2>/dev/null || rc=$?
  if [[ $rc -ne 42 ]]; then
    rm -rf "$dir"
    die "cannot run programs from $dir (is ${TMPDIR:-/tmp} mounted noexec?); set TMPDIR to an executable place"
  fi
  # A handler that claims even the probe would answer in the kernel's place.
  mapfile -t claimed < <(claiming_entries "$I386_PROBE")
  for name in "${claimed[@]}"; do write_as_root "$BINFMT/$name" 0; done
  rc=0
  "$dir/probe" 2>/dev/null || rc=$?
  for name in "${claimed[@]}"; do write_as_root "$BINFMT/$name" 1; done
  rm -rf "$dir"
  [[ $rc -eq 42 ]]
}

use_native() {
  log "the kernel runs i386 programs itself"
  local name names=()
  mapfile -t names < <(claiming_entries "$I386_EXEC" "$I386_DYN")
  for name in "${names[@]}"; do
    log "WARNING: disabling binfmt_misc entry '$name' ($(sed -n 's/^interpreter //p' "$BINFMT/$name")):"
    log "WARNING: it hands every i386 program to an emulator instead of the kernel"
    write_as_root "$BINFMT/$name" 0 || die "could not disable $BINFMT/$name"
  done
  if [[ -n "$(claiming_entries "$I386_EXEC" "$I386_DYN")" ]]; then
    die "could not disable the binfmt_misc entries that claim i386 programs"
  fi
  MODE=native
}

qemu_interpreter() {
  local path
  for path in /usr/bin/qemu-i386-static /usr/bin/qemu-i386; do
    [[ -x "$path" ]] && { printf '%s\n' "$path"; return 0; }
  done
  return 1
}

use_qemu() {
  log "WARNING: the kernel does not run i386 programs (no IA-32 emulation);"
  log "WARNING: falling back to qemu-user, about a minute of CPU per 32-bit Wine process"
  mount_binfmt || die "binfmt_misc is not mounted on $BINFMT and mounting it failed" \
    "(a container without the right to mount it cannot run 32-bit programs)"
  if [[ -n "$(claiming_entries "$I386_EXEC" "$I386_DYN")" ]]; then
    log "an enabled binfmt_misc entry already hands i386 programs to an emulator"
  elif [[ -f "$BINFMT/qemu-i386" ]]; then
    log "enabling binfmt_misc entry qemu-i386"
    write_as_root "$BINFMT/qemu-i386" 1 || die "could not enable $BINFMT/qemu-i386"
  else
    local qemu
    if ! qemu="$(qemu_interpreter)"; then
      log "installing qemu-user-static"
      apt_install -q qemu-user-static || die "apt-get install qemu-user-static failed"
      qemu="$(qemu_interpreter)" || die "no qemu-i386 binary after installing qemu-user-static"
    fi
    log "registering $qemu for i386 programs with binfmt_misc"
    write_as_root "$BINFMT/register" \
      ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
      || die "registering qemu-i386 with binfmt_misc failed"
  fi
  [[ -n "$(claiming_entries "$I386_EXEC" "$I386_DYN")" ]] \
    || die "no binfmt_misc entry hands i386 programs to qemu after registering one"
  MODE=qemu
}

check() {
  local dir start boot_s run_s out rc=0
  dir="$(mktemp -d)"
  export WINE32_PREFIX="$dir/prefix"
  log "check: booting a win32 prefix in $WINE32_PREFIX"
  start=$(date +%s%N)
  "$SCRIPT_DIR/wine32-run.sh" --boot || { rm -rf "$dir"; die "booting a win32 prefix failed"; }
  boot_s=$(( ($(date +%s%N) - start) / 1000000 ))
  start=$(date +%s%N)
  out="$("$SCRIPT_DIR/wine32-run.sh" cmd.exe /c 'echo wine32-check %PROCESSOR_ARCHITECTURE% & exit 3')" || rc=$?
  run_s=$(( ($(date +%s%N) - start) / 1000000 ))
  WINEPREFIX="$WINE32_PREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  rm -rf "$dir"
  out="${out//$'\r'/}"
  log "check: prefix boot ${boot_s} ms, one cmd.exe run ${run_s} ms"
  [[ "$out" == *"wine32-check x86"* && $rc -eq 3 ]] \
    || die "check: 32-bit cmd.exe printed '$out' and exited $rc (expected 'wine32-check x86' and 3)"
  log "check: 32-bit cmd.exe ran and exited with the code it was given"
}

main() {
  local want_check=0
  case "${1:-}" in
    "") ;;
    --check) want_check=1 ;;
    *) printf 'usage: %s [--check]\n' "$0" >&2; exit 2 ;;
  esac
  [[ "$(uname -m)" == x86_64 || "$(uname -m)" == i?86 ]] \
    || die "this script handles x86 machines only, not $(uname -m)"

  install_packages
  mount_binfmt || log "binfmt_misc is not mounted and cannot be; assuming no handler claims i386 programs"

  MODE=""
  if kernel_runs_i386; then use_native; else use_qemu; fi

  log "ready ($MODE): run 32-bit programs with scripts/wine32-run.sh <program.exe> [args]"
  if [[ "$MODE" == qemu ]]; then
    log "other ways of starting 32-bit Wine need $QEMU_ENV in the environment"
  fi
  if [[ $want_check -eq 1 ]]; then check; fi
}

main "$@"
