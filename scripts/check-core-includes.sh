#!/usr/bin/env bash
# Checks the module rules of docs/ARCHITECTURE.md:
# 1. The portable core (src/<module>/ outside qt/, platform/ and app/) includes
#    only standard C++ and the project's own headers: no Qt, no OS or
#    third-party headers; it does no file I/O, starts no threads and reads no
#    clock of its own (those come through interfaces).
# 2. Each module includes only the modules scripts/module-deps.txt allows it.
set -euo pipefail
# Usage: check-core-includes.sh [TREE] (default: this checkout)
cd "${1:-$(dirname "$0")/..}"
status=0

core_files=$(find src -name '*.h' -o -name '*.cpp' | grep -vE '^src/(platform|app)/|/qt/' | sort)
bad=$(echo "$core_files" |
  xargs grep -nE '#include *<(Q[A-Za-z]|qt|sys/|unistd\.h|windows\.h|winsock|netinet/|arpa/|netdb\.h|fcntl\.h|pthread\.h|dlfcn\.h|openssl/|rexxsaa\.h|iconv\.h)' || true)
if [ -n "$bad" ]; then
  echo "Core files include Qt, OS or third-party headers:"
  echo "$bad"
  status=1
fi
bad=$(echo "$core_files" |
  xargs grep -nE '#include *<(fstream|filesystem|thread|future)>|std::(thread|jthread|async|fopen|ofstream|ifstream|fstream)\b|[^a-z_]fopen\(|_clock::now\(|[^a-z_:.]time\(nullptr\)' || true)
if [ -n "$bad" ]; then
  echo "Core files do file I/O, start threads or read the clock themselves (use an interface):"
  echo "$bad"
  status=1
fi

declare -A allowed
while IFS= read -r line; do
  line="${line%%#*}"
  [[ "$line" =~ ^([a-z_]+):(.*)$ ]] || continue
  allowed["${BASH_REMATCH[1]}"]="${BASH_REMATCH[2]}"
done < scripts/module-deps.txt

while IFS= read -r file; do
  rel="${file#src/}"
  module="${rel%%/*}"
  if [ -z "${allowed[$module]+set}" ]; then
    echo "$file: module '$module' is not in scripts/module-deps.txt"
    status=1
    continue
  fi
  [ "${allowed[$module]}" = " *" ] && continue
  in_qt=0
  [[ "$rel" == */qt/* ]] && in_qt=1
  while IFS= read -r inc; do
    target="${inc%%/*}"
    sub="${inc#*/}"
    [ "$target" = "$module" ] && { [ $in_qt = 1 ] || [[ "$sub" != qt/* ]]; } && continue
    ok=0
    for m in ${allowed[$module]}; do
      if [ "$m" = "$target" ]; then
        # The core of a module never includes a qt/ folder.
        if [[ "$sub" != qt/* ]] || [ $in_qt = 1 ]; then ok=1; fi
      fi
    done
    if [ $ok = 0 ]; then
      what="$target"
      [[ "$sub" == qt/* ]] && what="$target/qt"
      echo "$file includes \"$inc\": module '$module' may not use '$what' (scripts/module-deps.txt)"
      status=1
    fi
  done < <(grep -oE '^#include "[a-z_]+/[^"]+"' "$file" | sed -E 's/#include "([^"]+)"/\1/')
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

[ $status = 0 ] && echo "module rules: ok"
exit $status
