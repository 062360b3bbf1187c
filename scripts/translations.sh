#!/usr/bin/env bash
# The English catalogue, translations/korvo_en.ts, against the texts in the code.
#   update: takes new texts into the catalogue (untranslated) and drops the ones the code no longer has.
#   check:  the same on a copy; fails when the copy differs (the catalogue is stale) or when any text
#           is left without its English. CI runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
catalogue=translations/korvo_en.ts
sources=(app sample delay tap pitch ui audio settings)
run_lupdate() {
    "$lupdate" -silent -I . "${sources[@]}" -extensions cpp,h -locations none -no-obsolete \
        -source-language ja -target-language en -ts "$1"
}
case "${1:-}" in
update)
    run_lupdate "$catalogue"
    ;;
check)
    copy=$(mktemp --suffix=.ts)
    trap 'rm -f "$copy"' EXIT
    cp "$catalogue" "$copy"
    run_lupdate "$copy"
    if ! diff -u "$catalogue" "$copy"; then
        echo "translations: $catalogue is not up to date with the code; run 'make translations'" >&2
        exit 1
    fi
    if grep -n 'type="unfinished"' "$catalogue" >&2; then
        echo "translations: the texts above have no English yet" >&2
        exit 1
    fi
    echo "translations: every text has its English"
    ;;
*)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
