# Debian's package tools for the set-up scripts. Source it after defining log
# and die (and as_root where the script may run as another user than root).
#
# A mirror in the middle of a sync can serve one index file that does not
# match its Release file ("File has unexpected size ... Mirror sync in
# progress?"). apt-get update then fails although every other index is fine,
# and an install from what is there usually works. So a failed update only
# warns; the install that follows decides, and when it fails it names the
# indexes that could not be fetched and says what to do.

# The "E: Failed to fetch ..." lines of the last apt_update that failed.
APT_UPDATE_ERRORS=""

_apt_root() {
  if declare -F as_root >/dev/null; then as_root "$@"; else "$@"; fi
}

# apt_update: refreshes the package lists; never fails.
apt_update() {
  local errors
  errors=$(mktemp)
  if _apt_root apt-get update -qq >/dev/null 2>"$errors"; then
    APT_UPDATE_ERRORS=""
  else
    APT_UPDATE_ERRORS=$(grep -E '^(E|W): ' "$errors" || cat "$errors")
    log "apt-get update failed for some package lists; trying with the lists as they are:"
    printf '%s\n' "$APT_UPDATE_ERRORS" | sed 's/^/    /' >&2
  fi
  rm -f "$errors"
  return 0
}

# Explains a failed install; the caller dies or goes on.
apt_explain_failure() {
  if [[ -n "$APT_UPDATE_ERRORS" ]]; then
    log "these package lists could not be fetched:"
    printf '%s\n' "$APT_UPDATE_ERRORS" | grep -oE 'Failed to fetch [^ ]+' | sed 's/^Failed to fetch /    /' >&2
    log "a mirror in the middle of a sync serves lists that do not match; retry in a few minutes, or point /etc/apt/sources.list at another mirror"
  else
    log "see apt-get's message above; retry in a few minutes if a download failed"
  fi
}

# Takes each index that the last update refused for its size or hash as the
# mirror serves it now, so that the packages it lists can be installed. The
# index is not checked against the signed Release file: this is the last
# resort when an install has failed without it. True when one was taken.
apt_take_served_indexes() {
  local url taken=1 file name
  while read -r url; do
    [[ -n "$url" ]] || continue
    name=${url#*://}
    name=${name%.xz}
    name=${name%.gz}
    file=/var/lib/apt/lists/${name//\//_}
    local download
    download=$(mktemp)
    if _apt_root /usr/lib/apt/apt-helper download-file "$url" "$download" >/dev/null 2>&1; then
      case "$url" in
        *.xz) xz -dc "$download" | _apt_root tee "$file" >/dev/null ;;
        *.gz) gzip -dc "$download" | _apt_root tee "$file" >/dev/null ;;
        *) _apt_root cp "$download" "$file" ;;
      esac && { log "took $url as the mirror serves it (it did not match the Release file)"; taken=0; }
    fi
    rm -f "$download"
  done < <(printf '%s\n' "$APT_UPDATE_ERRORS" |
           grep -E 'unexpected size|Hash Sum mismatch|Hashes of expected file' |
           grep -oE 'Failed to fetch [^ ]+' | sed 's/^Failed to fetch //')
  return $taken
}

# apt_install <apt-get install options and packages...>: updates the lists,
# installs, and on failure explains it and returns non-zero.
apt_install() {
  apt_update
  if _apt_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@"; then
    return 0
  fi
  if apt_take_served_indexes &&
     _apt_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@"; then
    return 0
  fi
  apt_explain_failure
  return 1
}
