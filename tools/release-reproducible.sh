#!/usr/bin/env bash
# Two release builds of the work tree in two build folders of different lengths: the programs,
# the zip and its sum are the same bytes. Usage: tools/release-reproducible.sh SOURCE_DIR SCRATCH_DIR (CTest release_reproducible)
set -euo pipefail
source_dir=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
cd "$source_dir"
for folder in a build-b; do
  cmake --preset windows-x86-release -B "$scratch/$folder" >/dev/null
  cmake --build "$scratch/$folder" -j2 --target dist >/dev/null
done
zip=$(basename "$(ls "$scratch"/a/dist/Mewlark-*.zip)")
for file in MewlarkSetup.exe Mewlark.exe setup.ini "$zip" "$zip.sha256"; do
  cmp "$scratch/a/dist/$file" "$scratch/build-b/dist/$file"
done
(cd "$scratch/a/dist" && sha256sum -c --quiet "$zip.sha256")
members=$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$scratch/a/dist/$zip")
[[ "$members" == "MewlarkSetup.exe setup.ini Mewlark.exe" ]]
rm -rf "$scratch"
