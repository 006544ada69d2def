#!/usr/bin/env bash
# The portable core (src/<module>/, outside qt/) may include only standard C++
# and the project's own headers: no Qt, no OS or third-party headers.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=$(find src -name '*.h' -o -name '*.cpp' | grep -vE '^src/(platform|app)/|/qt/' |
  xargs grep -nE '#include *<(Q[A-Za-z]|qt|sys/|unistd\.h|windows\.h|winsock|netinet/|arpa/|netdb\.h|fcntl\.h|pthread\.h|dlfcn\.h|openssl/|rexxsaa\.h|iconv\.h)' || true)
if [ -n "$bad" ]; then
  echo "Core files include Qt, OS or third-party headers:"
  echo "$bad"
  exit 1
fi
echo "core includes: ok"
