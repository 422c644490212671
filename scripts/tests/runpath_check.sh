#!/usr/bin/env bash
# Reads the dynamic section of every ELF program and shared library under the
# given folders and fails when a run path (RUNPATH or RPATH) has an empty
# entry (which the loader takes as the working folder) or one that is neither
# absolute nor relative to $ORIGIN: with either, a library put in the folder
# a user works in would be loaded and run.
# Usage: runpath_check.sh FOLDER...
set -euo pipefail
checked=0
bad=0
while IFS= read -r -d '' f; do
  head -c 4 "$f" 2>/dev/null | grep -q $'^\x7fELF' || continue
  checked=$((checked + 1))
  while IFS= read -r path; do
    IFS=: read -r -a entries <<< "$path"
    # A trailing ":" leaves no element in the array: count the separators.
    seps=${path//[^:]/}
    if [ ${#entries[@]} -ne $(( ${#seps} + 1 )) ] || [ -z "$path" ]; then
      echo "$f: run path [$path] has an empty entry" >&2; bad=$((bad + 1)); continue
    fi
    for e in "${entries[@]}"; do
      case "$e" in
        '$ORIGIN' | '$ORIGIN/'* | '${ORIGIN}' | '${ORIGIN}/'* | /*) ;;
        *) echo "$f: run path [$path] has the entry '$e'" >&2; bad=$((bad + 1)) ;;
      esac
    done
  done < <(readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
done < <(find "$@" -type f \( -perm -u+x -o -name '*.so*' \) -print0)
[ "$checked" -gt 0 ] || { echo "runpath check: no programs found in $*" >&2; exit 1; }
[ "$bad" -eq 0 ] || exit 1
echo "runpath check: $checked files, none loads from the working folder"
