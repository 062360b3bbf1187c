#!/usr/bin/env bash
# Makes sure the locales the tests run under exist: de_DE.UTF-8, whose decimal comma proves that no
# number text depends on the process locale, and ja_JP.UTF-8, which the Windows tests run under (Wine
# takes the interface language from the locale, not from LANGUAGE). Needs root (CI runs as root);
# without it, the checks that need them skip or the Windows tests speak the system's language.
set -eu
wanted=(de_DE ja_JP)
missing=()
for l in "${wanted[@]}"; do
    locale -a 2>/dev/null | grep -qiE "^$l\.utf-?8\$" || missing+=("$l")
done
[ ${#missing[@]} -eq 0 ] && exit 0
[ "$(id -u)" -eq 0 ] || { echo "test-locales: not root, ${missing[*]} not generated" >&2; exit 0; }
export DEBIAN_FRONTEND=noninteractive
dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" ||
    { apt-get update -q && apt-get install -y -q --no-install-recommends locales; }
for l in "${missing[@]}"; do
    sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" >>/etc/locale.gen
done
locale-gen >/dev/null
