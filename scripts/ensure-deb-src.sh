#!/usr/bin/env bash
# Makes Debian source packages available to `apt-get source`.
#
# Usage: scripts/ensure-deb-src.sh [source-package]
#
# When no deb-src entry is configured yet, writes one of our own,
# /etc/apt/sources.list.d/sheetwalk-deb-src.sources, mirroring the machine's
# own Debian `deb` entries (same URIs, suites, components and keys), then runs
# `apt-get update`. Nothing is invented: every URI comes from an existing entry.
# Entries that are not Debian's own archive are left out, because a deb-src
# line for a repository without sources makes `apt-get update` fail: a suite
# must be the release codename or its -updates/-security variant, and where apt
# already holds the suite's Release file its Origin must be Debian.
#
# With a package name, succeeds only once `apt-cache showsrc` knows it.
set -euo pipefail

readonly OUR_FILE=/etc/apt/sources.list.d/sheetwalk-deb-src.sources
readonly LISTS=/var/lib/apt/lists
package="${1:-}"

log() { printf 'ensure-deb-src: %s\n' "$*" >&2; }
die() { log "$*"; exit 1; }

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else die "needs root for: $*"
  fi
}

source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

source_known() {
  [[ -n "$package" ]] && apt-cache showsrc --only-source "$package" 2>/dev/null | grep -q '^Package:'
}

source_files() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" && "$f" != "$OUR_FILE" ]] && printf '%s\n' "$f"
  done
  return 0
}

# Prints "yes" when any enabled deb-src entry exists in the given files.
has_deb_src() {
  awk '
    function flush() { if (types ~ /(^|[ \t])deb-src([ \t]|$)/ && tolower(enabled) != "no") found = 1;
                       types = ""; enabled = "yes" }
    FNR == 1 { flush() }
    FILENAME ~ /\.list$/ || FILENAME ~ /\/sources\.list$/ {
      if ($0 ~ /^[ \t]*deb-src[ \t]/) found = 1
      next
    }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    tolower($0) ~ /^types:/   { sub(/^[^:]*:[ \t]*/, ""); types = $0; next }
    tolower($0) ~ /^enabled:/ { sub(/^[^:]*:[ \t]*/, ""); enabled = $0; next }
    END { flush(); if (found) print "yes" }
  ' "$@"
}

# Writes deb822 deb-src stanzas for the Debian `deb` entries in the given files.
# Each output stanza keeps the entry's URIs, Components and keys; Suites are
# narrowed to the ones that pass the Debian check.
derive_stanzas() {
  local codename="$1"; shift
  awk -v codename="$codename" -v lists="$LISTS" '
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    # apt names its index files after the URI without scheme and credentials,
    # with "/" turned into "_".
    function release_origin(uri, suite,   base, f, line, origin) {
      base = uri
      sub(/^[a-z0-9+]+:\/\//, "", base); sub(/^[^\/@]*@/, "", base); sub(/\/+$/, "", base)
      base = base "/dists/" suite "/"
      gsub(/\//, "_", base)
      origin = ""
      for (i = 0; i < 2; i++) {
        f = lists "/" base (i == 0 ? "InRelease" : "Release")
        while ((getline line < f) > 0) {
          if (line ~ /^Origin:/) { sub(/^Origin:[ \t]*/, "", line); origin = line; break }
          if (line ~ /^$/) break
        }
        close(f)
        if (origin != "") return origin
      }
      return "?"
    }
    function debian_suite(uri, suite,   origin) {
      if (suite != codename && suite != codename "-updates" && suite != codename "-security") return 0
      if (uri ~ /^cdrom:/) return 0
      origin = release_origin(uri, suite)
      return origin == "?" || origin == "Debian"
    }
    function wanted_suites(uris, suites,   n, u, m, s, i, j, out, ok) {
      n = split(uris, u, /[ \t]+/); m = split(suites, s, /[ \t]+/); out = ""
      for (j = 1; j <= m; j++) {
        if (s[j] == "") continue
        ok = 1
        for (i = 1; i <= n; i++) if (u[i] != "" && !debian_suite(u[i], s[j])) ok = 0
        if (ok) out = out (out == "" ? "" : " ") s[j]
      }
      return out
    }

    FNR == 1 { flush_stanza() }

    # One-line format: deb [opt=value ...] uri suite component...
    FILENAME ~ /\.list$/ || FILENAME ~ /\/sources\.list$/ {
      line = $0
      sub(/#.*/, "", line)
      if (line !~ /^[ \t]*deb[ \t]/) next
      sub(/^[ \t]*deb[ \t]+/, "", line)
      signed = ""; trusted = ""
      if (line ~ /^\[/) {
        opts = substr(line, 2, index(line, "]") - 2)
        line = substr(line, index(line, "]") + 1)
        n = split(opts, o, /[ \t]+/)
        for (i = 1; i <= n; i++) {
          if (o[i] ~ /^signed-by=/) signed = substr(o[i], 11)
          if (o[i] ~ /^trusted=/)   trusted = substr(o[i], 9)
        }
      }
      n = split(trim(line), w, /[ \t]+/)
      if (n < 3 || w[2] ~ /\/$/) next   # flat repositories are never Debian suites
      comps = w[3]; for (i = 4; i <= n; i++) comps = comps " " w[i]
      suites = wanted_suites(w[1], w[2])
      if (suites == "") next
      printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", w[1], suites, comps
      if (signed != "")  printf "Signed-By: %s\n", signed
      if (trusted != "") printf "Trusted: %s\n", trusted
      print ""
      next
    }

    # deb822 format: stanzas separated by blank lines; continuation lines
    # (a multi-line Signed-By key block) start with white space.
    function flush_stanza(   k, out, suites) {
      if (nf == 0) return
      if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no" && uris != "" && rawsuites != "") {
        suites = wanted_suites(uris, rawsuites)
        if (suites != "") {
          out = ""
          for (k = 1; k <= nf; k++) {
            if (fname[k] == "types")         out = out "Types: deb-src\n"
            else if (fname[k] == "suites")   out = out "Suites: " suites "\n"
            else if (fname[k] == "architectures" || fname[k] == "enabled") continue
            else out = out ftext[k]
          }
          printf "%s\n", out
        }
      }
      nf = 0; types = ""; uris = ""; rawsuites = ""; enabled = "yes"
    }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush_stanza(); next }
    /^[ \t]/   { if (nf > 0) ftext[nf] = ftext[nf] $0 "\n"; next }
    {
      key = tolower(substr($0, 1, index($0, ":") - 1))
      value = trim(substr($0, index($0, ":") + 1))
      nf++; fname[nf] = key; ftext[nf] = $0 "\n"
      if (key == "types")   types = value
      if (key == "uris")    uris = value
      if (key == "suites")  rawsuites = value
      if (key == "enabled") enabled = value
    }
    END { flush_stanza() }
  ' "$@"
}

main() {
  if source_known; then
    return 0
  fi

  mapfile -t files < <(source_files)
  [[ ${#files[@]} -gt 0 ]] || die "no apt sources found"

  local wrote=0
  if [[ -f "$OUR_FILE" || "$(has_deb_src "${files[@]}")" == yes ]]; then
    log "deb-src entries already configured"
  else
    local codename
    # shellcheck source=/dev/null
    codename="$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")"
    [[ -n "$codename" ]] || die "VERSION_CODENAME missing from /etc/os-release"
    local stanzas
    stanzas="$(derive_stanzas "$codename" "${files[@]}")"
    [[ -n "$stanzas" ]] || die "no Debian '$codename' deb entries to derive deb-src entries from"
    log "writing $OUR_FILE"
    printf '# Source packages for the Debian archives configured on this machine.\n\n%s\n' "$stanzas" \
      | as_root tee "$OUR_FILE" >/dev/null
    wrote=1
  fi

  log "apt-get update"
  apt_update

  if [[ -n "$package" ]] && ! source_known; then
    apt_explain_failure
    if [[ $wrote -eq 1 && -n "$APT_UPDATE_ERRORS" ]]; then
      as_root rm -f "$OUR_FILE"
      die "source package '$package' not found; apt-get update failed with the derived deb-src entries, removed $OUR_FILE"
    fi
    die "source package '$package' not found in the configured deb-src entries"
  fi
}

main
