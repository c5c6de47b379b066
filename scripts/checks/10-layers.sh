#!/usr/bin/env bash
# Holds the sources to the layers: each folder includes only the folders below it, and only
# platform files (*_win32.cpp, the Windows programs and their tests) include <windows.h>.
#   app, tools  -> everything below    ir       -> device, core
#   emulator    -> device, core        device   -> core
#   ui          -> core                core     -> core
set -uo pipefail
cd "$(dirname "$0")/../.."

declare -A allowed=(
  [core]="core"
  [device]="device core"
  [ir]="ir device core"
  [ui]="ui core"
  [emulator]="emulator device core"
)

bad=0
while IFS= read -r file; do
  layer=${file%%/*}
  [ -n "${allowed[$layer]:-}" ] || continue
  while IFS=: read -r line target; do
    folder=${target%%/*}
    [[ " ${allowed[$layer]} " == *" $folder "* ]] && continue
    echo "$file:$line: includes \"$target\": $layer may include only ${allowed[$layer]}"
    bad=1
  done < <(grep -n '^#include "' "$file" | sed -E 's/^([0-9]+):#include "([^"]*)".*/\1:\2/')
done < <(git ls-files 'core/*' 'device/*' 'ir/*' 'ui/*' 'emulator/*' | grep -E '\.(cpp|h)$')

while IFS=: read -r file line _; do
  case $file in
    *_win32.cpp | *_win32.h | *_win32_test.cpp | app/win32/*) ;;
    *) echo "$file:$line: includes <windows.h> but is portable (only *_win32 files may)"; bad=1 ;;
  esac
done < <(git grep -n -i '^#include <windows\.h>' -- '*.cpp' '*.h')

[ $bad -eq 0 ] && echo "layers: every include points down"
exit $bad
