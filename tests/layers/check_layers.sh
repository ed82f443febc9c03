#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. The trees of the project and the
# folders inside gif/, engine/ and app/ are listed bottom to top: a file may include headers of
# its own folder and of folders listed before it, never of one listed after it. A sub-folder
# belongs to the folder it lies in (engine/task/open is part of engine/task). Qt stays out of
# everything below the desktop program's windows.
#
# usage: check_layers.sh SOURCE_DIR
set -u
cd "${1:?usage: check_layers.sh SOURCE_DIR}" || exit 2

trees="platform gif engine app cli"
declare -A layers=(
  [gif]="core format codec colour model paint optimise"
  [engine]="entrypoints core log loader frames output decoder task encoder"
  [app]="core widgets resources options main screenshots"
)
# What a tree may use of the trees below it, when not all of them.
declare -A may_use=(
  [gif]="platform"
  [engine]="platform"
  [cli]="platform gif engine app/core"
)
# Folders where Qt is not included.
qt_free="platform gif engine app/core cli"

index_of() {  # index_of WORD LIST...: the position of WORD in LIST, -1 when absent
  local word=$1 i=0; shift
  for item in "$@"; do [ "$item" = "$word" ] && { echo $i; return; }; i=$((i + 1)); done
  echo -1
}

failures=0
report() { echo "$1:$2: $3"; failures=$((failures + 1)); }

check_include() {  # FILE LINE INCLUDED
  local file=$1 line=$2 included=$3
  local tree=${file%%/*} itree=${included%%/*}
  local ti ii
  ti=$(index_of "$tree" $trees); ii=$(index_of "$itree" $trees)
  [ "$ii" -lt 0 ] && return  # tests/, tools/ and the like are not layers
  if [ "$tree" != "$itree" ]; then
    if [ "$ii" -gt "$ti" ]; then
      report "$file" "$line" "$tree/ includes $included from $itree/, which lies above it"
    elif [ -n "${may_use[$tree]:-}" ]; then
      local ok=0
      for allowed in ${may_use[$tree]}; do
        case "$included" in "$allowed"/*) ok=1 ;; esac
      done
      [ $ok = 1 ] || report "$file" "$line" "$tree/ may not include $included"
    fi
    return
  fi
  [ -n "${layers[$tree]:-}" ] || return
  local rest=${file#*/} irest=${included#*/}
  local folder=${rest%%/*} ifolder=${irest%%/*}
  [ "$folder" = "$rest" ] && return  # a file at the tree's top
  [ "$ifolder" = "$irest" ] && { report "$file" "$line" "includes $included from the top of $tree/"; return; }
  local fi_ ii_
  fi_=$(index_of "$folder" ${layers[$tree]}); ii_=$(index_of "$ifolder" ${layers[$tree]})
  if [ "$fi_" -lt 0 ]; then report "$file" "$line" "$tree/$folder/ is not in the list of layers"; return; fi
  if [ "$ii_" -lt 0 ]; then report "$file" "$line" "$tree/$ifolder/ is not in the list of layers"; return; fi
  if [ "$ii_" -gt "$fi_" ]; then
    report "$file" "$line" "$tree/$folder/ includes $included from $tree/$ifolder/, which lies above it"
  fi
}

for tree in $trees; do
  while IFS= read -r -d '' file; do
    while IFS=: read -r line text; do
      if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
        check_include "$file" "$line" "${BASH_REMATCH[1]}"
      elif [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<Q ]]; then
        for folder in $qt_free; do
          case "$file" in "$folder"/*) report "$file" "$line" "Qt in $folder/" ;; esac
        done
      fi
    done < <(grep -n '#[[:space:]]*include' "$file")
  done < <(find "$tree" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 | sort -z)
done

if [ $failures -gt 0 ]; then
  echo "$failures include(s) against the layering"
  exit 1
fi
echo "every include goes down or sideways"
