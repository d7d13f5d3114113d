#!/usr/bin/env bash
# Checks that a commit builds to the same bytes wherever and whenever it is built: two fresh
# clones in folders of different names and depths, built one after the other with a pause
# between, must give byte-identical ucac2 and ucac2db, the same Debian package and source
# tarball and, where the MinGW-w64 cross-compiler is installed, the same ucac2.exe, ucac2db.exe
# and Windows zip. Each clone makes its release with tools/release.sh (no tests are built).
# usage: tools/reproducible.sh [COMMIT]   (HEAD by default)
#   UCAC2_REPRO_PAUSE: seconds between the two builds (61 by default: another minute on the clock)
set -euo pipefail
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
commit=$(git -C "$repo" rev-parse --verify "${1:-HEAD}^{commit}")
release_options=()
if ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "No MinGW-w64 cross-compiler: the Windows executables and zip are not compared"
  release_options=(--linux-only)
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/ucac2-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

build() {  # FOLDER: a clone of the commit there, and its release in FOLDER/dist
  mkdir -p "$(dirname "$1")"
  # --shared: the clone reads the objects in place, so that any commit of the repository,
  # on a branch or not, can be checked out.
  git clone -q --shared --no-checkout "$repo" "$1"
  git -C "$1" checkout -q --detach "$commit"
  echo "Building $commit in $1 at $(date -u +%H:%M:%S)"
  "$1/tools/release.sh" "${release_options[@]}" "$1/dist" >"$1.log" 2>&1 ||
    { cat "$1.log"; exit 1; }
}
build "$work/one"
sleep "${UCAC2_REPRO_PAUSE:-61}"
build "$work/two/deeper"

files=(build/artifacts/linux/ucac2 build/artifacts/linux/ucac2db)
[ "${#release_options[@]}" -gt 0 ] ||
  files+=(build/artifacts/windows/ucac2.exe build/artifacts/windows/ucac2db.exe)
for file in "$work"/one/dist/*; do
  files+=("dist/${file##*/}")
done
differ=0
for file in "${files[@]}"; do
  if cmp -s "$work/one/$file" "$work/two/deeper/$file"; then
    echo "same: $(cd "$work/one" && sha256sum "$file")"
  else
    echo "DIFFERENT: $file"
    differ=1
  fi
done
[ "$differ" = 0 ] || { echo "Two builds of $commit differ"; exit 1; }
echo "Two builds of $commit are byte for byte the same"
