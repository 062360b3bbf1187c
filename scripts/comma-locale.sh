#!/usr/bin/env bash
# Makes sure a locale with a decimal comma exists, so the tests can prove that no number text
# depends on the process locale. Needs root (CI runs as root); without it, those checks skip.
set -eu
locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$' && exit 0
[ "$(id -u)" -eq 0 ] || { echo "comma-locale: not root, de_DE.UTF-8 not generated" >&2; exit 0; }
export DEBIAN_FRONTEND=noninteractive
dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" ||
    { apt-get update -q && apt-get install -y -q --no-install-recommends locales; }
sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
locale-gen >/dev/null
