#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing.
# Runs "apt-get update" once, and only when something has to be installed.
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
stamp=/var/lib/apt/periodic/fotra-update-stamp
if [ ! -e "$stamp" ] || [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -e lock -e partial)" ]; then
  apt-get update -q
  mkdir -p "$(dirname "$stamp")" && touch "$stamp"
fi
apt-get install -y -q --no-install-recommends "${missing[@]}"
