#!/usr/bin/env bash
# Brings the German translation files up to date with the texts in the sources (new texts come in
# as unfinished, vanished ones as obsolete); translate the new ones in Qt Linguist afterwards.
#   scripts/update-translations.sh
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
"$lupdate" -locations none -no-obsolete -target-language de src/App -ts translations/Quillon_de.ts
"$lupdate" -locations none -no-obsolete -target-language de lib/KyrGui lib/KyrTools -ts translations/lib_de.ts
