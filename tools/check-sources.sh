#!/usr/bin/env bash
# Checks the sources as test.sh runs them: every C++ file formatted as
# .clang-format says, and the application in Source/ written against the
# platform's headers, the standard library, TinyXML and Lua alone.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
status=0

mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find Source Platform tools tests bench fuzz -name '*.cpp' -o -name '*.h')
if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/vorel-format.$$; then
  head -40 /tmp/vorel-format.$$ >&2
  echo "error: sources not formatted as .clang-format says; run: clang-format -i \$(git ls-files '*.cpp' '*.h')" >&2
  status=1
fi
rm -f /tmp/vorel-format.$$

# <...> includes of Source/: the platform's headers, C++ standard headers
# (no extension, or the C library's <c...>), TinyXML and Lua.
platform=$(cd Platform/include && ls)
while IFS=: read -r file line text; do
  header=$(sed -E 's/.*<([^>]+)>.*/\1/' <<<"$text")
  case $header in
    tinyxml.h|lua.hpp|lua.h|lualib.h|lauxlib.h) continue ;;
    */*) ;;
    *.*) grep -qxF "$header" <<<"$platform" && continue ;;
    *) continue ;;  # a standard header
  esac
  echo "error: $file:$line includes <$header>, which is neither the platform's, the standard library's, TinyXML's nor Lua's" >&2
  status=1
done < <(grep -nE '^\s*#\s*include\s*<' Source/*.cpp Source/*.h)
# "..." includes of Source/ name its own headers.
while IFS=: read -r file line text; do
  header=$(sed -E 's/.*"([^"]+)".*/\1/' <<<"$text")
  [[ $header != */* && -f Source/$header ]] && continue
  echo "error: $file:$line includes \"$header\", which is not in Source/" >&2
  status=1
done < <(grep -nE '^\s*#\s*include\s*"' Source/*.cpp Source/*.h)
exit $status
