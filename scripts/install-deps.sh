#!/usr/bin/env bash
# Installs the Debian packages of the given lists (names of files in scripts/, default packages.txt) that are
# not installed yet: `install-deps.sh` for building and running, `install-deps.sh packages.txt
# packages-test.txt` for the tests as well.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || set -- packages.txt
missing=()
for list in "$@"; do
  [ -f "$here/$list" ] || { echo "install-deps.sh: no package list $here/$list" >&2; exit 2; }
  while read -r pkg; do
    case "$pkg" in '' | '#'*) continue ;; esac
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$pkg")
  done < "$here/$list"
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
