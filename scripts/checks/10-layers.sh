#!/usr/bin/env bash
# Holds every include of the sources, tracked or not yet, to the layer table in layers.txt:
# quoted, angle-bracket and relative includes alike. Only Windows files (*_win32 and
# app/win32/) include a Windows header, only GTK files (*_gtk and app/gtk/) a GTK one. Also
# checks that README.md quotes the table as it is. Usage: 10-layers.sh [repository root].
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
cd "$root" || exit 1

declare -A allowed=()
keys=()
while read -r folder arrow below; do
  [[ -z $folder || $folder == \#* ]] && continue
  [ "$arrow" = "->" ] || { echo "layers.txt: \"$folder $arrow $below\" is not \"folder -> folders\""; exit 1; }
  allowed[$folder]="$folder $below"
  keys+=("$folder")
done <layers.txt

# Sets `found` to the table's folder a path belongs to (the longest match; tests/<folder>
# follows <folder> unless the table names it), or to nothing for a path outside the table.
declare -A folder_cache=()
folder_of() {
  local path=$1 key best=""
  if [ -n "${folder_cache[$path]+set}" ]; then
    found=${folder_cache[$path]}
    return
  fi
  for key in "${keys[@]}"; do
    [[ $path == "$key" || $path == "$key"/* ]] && ((${#key} > ${#best})) && best=$key
  done
  if [[ -z $best && $path == tests/* ]]; then
    folder_of "${path#tests/}"
    [ -n "$found" ] && best=tests/$found
  fi
  folder_cache[$path]=$best
  found=$best
}

# Sets `permitted` to what a file in `folder` may include, space-delimited: the table's line,
# and for tests the tests of those.
declare -A permitted_cache=()
may_include() {
  local folder=$1 source=$1 f list
  if [ -z "${permitted_cache[$folder]+set}" ]; then
    [[ $folder == tests/* && -z ${allowed[$folder]:-} ]] && source=${folder#tests/}
    list="$folder ${allowed[$source]}"
    if [[ $folder == tests/* ]]; then
      for f in ${allowed[$source]}; do [[ $f == tests/* ]] || list+=" tests/$f"; done
    fi
    permitted_cache[$folder]=" $list "
  fi
  permitted=${permitted_cache[$folder]}
}

windows_header='^(win[a-z0-9_]*|ws2[a-z0-9_]*|d2d1[a-z0-9_]*|d3d[a-z0-9_]*|dwrite[a-z0-9_]*|dxgi[a-z0-9_]*|shobjidl[a-z0-9_]*|shlobj[a-z0-9_]*|shellapi|shlwapi|knownfolders|commctrl|commdlg|mmsystem|mmeapi|timeapi|objbase|combaseapi|objidl|ole2|oleauto|unknwn|propvarutil|propkey|urlmon)\.h$|^wrl(\.h$|/)'
gtk_header='^(gtk|gdk|glib|gio|gobject)(/|\.h$|-)'
top_folders=" $(for k in "${keys[@]}"; do echo "${k%%/*}"; done | sort -u | tr '\n' ' ')tests "

bad=0
complain() {
  echo "$1"
  bad=1
}

mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- \
  '*.cpp' '*.h' '*.hpp' '*.c' '*.cc' '*.inl' | sort -u)
existing=()
for file in "${sources[@]}"; do [ -f "$file" ] && existing+=("$file"); done

# One line per include: file, line, bracket, target.
while IFS=$'\t' read -r file line bracket target; do
  folder_of "$file"
  folder=$found
  # A path from the root names a top folder first; any other quoted one is relative to the file.
  path=""
  if [[ $top_folders == *" ${target%%/*} "* && $target == */* ]]; then
    path=$target
  elif [ "$bracket" = '"' ]; then
    path=$(realpath -m --relative-to=. "$(dirname "$file")/$target")
    [[ $path == ../* || ! -e $path ]] && path=""
  fi
  if [ -n "$path" ]; then
    [ -n "$folder" ] || continue
    may_include "$folder"
    folder_of "$path"
    [[ -z $found || $permitted == *" $found "* ]] && continue
    closing='"'
    [ "$bracket" = "<" ] && closing=">"
    complain "$file:$line: includes $bracket$target$closing: $folder may include only$permitted"
    continue
  fi
  header=${target,,}
  if [[ $header =~ $windows_header ]]; then
    case $file in
      *_win32.cpp | *_win32.h | *_win32_test.cpp | app/win32/*) ;;
      *) complain "$file:$line: includes the Windows header $target (only *_win32 files and app/win32/ may)" ;;
    esac
  elif [[ $header =~ $gtk_header ]]; then
    case $file in
      *_gtk.cpp | *_gtk.h | *_gtk_test.cpp | app/gtk/*) ;;
      *) complain "$file:$line: includes the GTK header $target (only *_gtk files and app/gtk/ may)" ;;
    esac
  fi
done < <(grep -n -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' -- "${existing[@]}" |
  sed -E 's/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]*)[>"].*/\1\t\2\t\3\t\4/')

table=$(grep -E '^[a-z/]+ +->' layers.txt)
quoted=$(awk '/^```/ { inside = !inside; next } inside' README.md | grep -E '^[a-z/]+ +->')
[ "$table" = "$quoted" ] || complain "README.md: its quote of the layer table differs from layers.txt"

[ $bad -eq 0 ] && echo "layers: every include points down; platform headers only in platform files"
exit $bad
