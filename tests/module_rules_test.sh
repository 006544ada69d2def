#!/usr/bin/env bash
# The module-rule check passes on the tree and catches what it is for: a
# copy of the tree with one deliberate breach at a time must fail it.
set -uo pipefail
root="$1"
check="$root/scripts/check-core-includes.sh"
fail=0
if ! out=$(bash "$check" "$root"); then
  echo "the tree breaks the module rules:"; echo "$out"; fail=1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
breach() {
  local name="$1" file="$2" line="$3" expect="$4"
  rm -rf "$work/tree"; mkdir -p "$work/tree"
  cp -r "$root/src" "$root/scripts" "$work/tree/"
  mkdir -p "$(dirname "$work/tree/$file")"
  printf '%s\n' "$line" >> "$work/tree/$file"
  if out=$(bash "$work/tree/scripts/check-core-includes.sh" "$work/tree" 2>&1); then
    echo "FAIL: $name was not caught"; fail=1
  elif ! grep -q "$expect" <<<"$out"; then
    echo "FAIL: $name: the check did not say \"$expect\":"; echo "$out"; fail=1
  else
    echo "ok: $name"
  fi
}
breach "screen including session" src/screen/presentation_space.cpp '#include "session/session.h"' "may not use 'session'"
breach "host including keyboard" src/host/telnet_layer.h '#include "keyboard/key_word.h"' "may not use 'keyboard'"
breach "a core file including a qt folder" src/keyboard/key_list.cpp '#include "keyboard/qt/widget.h"' "may not use"
breach "rexx including session" src/rexx/task_table.cpp '#include "session/session.h"' "may not use 'session'"
breach "the interpreter's header in the rexx core" src/rexx/task_table.cpp '#include <rexxsaa.h>' "Qt, OS or third-party"
breach "an unknown module" src/gadgets/thing.cpp '#include "screen/presentation_space.h"' "not in scripts/module-deps.txt"
breach "Qt in the core" src/macro/scanner.cpp '#include <QString>' "Qt, OS or third-party"
breach "a thread in the core" src/session/session.cpp 'static void f() { std::thread t; }' "start threads"
breach "a file opened in the core" src/sessionfile/host_list.cpp 'static void g() { std::ofstream out("x"); }' "file I/O"
exit $fail
