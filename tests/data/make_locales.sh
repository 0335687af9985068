#!/bin/sh
# Compiles the UTF-8 locales that the Windows tests run under into a folder for
# LOCPATH: Wine takes the ANSI code page from the locale's name (en_US 1252,
# ru_RU 1251, ja_JP 932) and file names in UTF-8 only from a locale that the C
# library has. Needs Debian's locales package (its locale sources).
#   make_locales.sh <folder>
set -eu
folder=$1
mkdir -p "$folder"
for name in en_US ru_RU ja_JP; do
  if [ ! -f "$folder/$name.UTF-8/LC_CTYPE" ]; then
    # localedef reports warnings about the locale sources with status 1.
    localedef -i "$name" -f UTF-8 "$folder/$name.UTF-8" || true
    [ -f "$folder/$name.UTF-8/LC_CTYPE" ] || { echo "localedef $name.UTF-8 failed" >&2; exit 1; }
  fi
done
