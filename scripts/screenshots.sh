#!/usr/bin/env bash
# Starts Quillon under a virtual display on a demo project with the demo's mail servers (see
# demo.sh), waits for the first mail check, opens every window and dialog in turn and writes one
# PNG per window into a folder (default: build/screenshots), so the monitors show the values of
# the demo mails; then the same again in German, each picture named with "-de".
#   scripts/screenshots.sh [output-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quillon quillon-demo-mailbox
project="$PWD/build/screenshot-project"
trend_point="Site1:Meters:Demo:Load"
rm -rf "$out"
mkdir -p "$out"
mailbox=
trap 'if [ -n "$mailbox" ]; then kill "$mailbox" 2>/dev/null; fi; wait' EXIT

# A fresh project: configuration, trend rows and the demo mailbox with its mails.
prepare_project() {
rm -rf "$project"
mkdir -p "$project/cfg"
# A configuration with something in every table, as an operator would have it.
cat > "$project/base.ini" <<'INI'
[Mail]
Host=imap.example.org
Port=993
UserName=meterdata
Password=secret
CheckInterval="06:00;12:00;18:00"
[DMS]
Prefix=Site1
Dps\size=2
Dps\1\Enabled=true
Dps\1\Aks=%AKS%:TRD:CYCLE
Dps\1\ValType=DWS
Dps\1\Value=900
Dps\2\Enabled=true
Dps\2\Aks=%AKS%:Unit
Dps\2\ValType=STR
Dps\2\Value=kWh
[AksMapping]
Mappings\size=2
Mappings\1\Enabled=true
Mappings\1\Imported=Site1:CH1001*
Mappings\1\DmsAks=Site1:Meters:%IAKS2%
Mappings\1\Script==Value/1000
Mappings\2\Enabled=false
Mappings\2\Imported=Site1:Test*
Mappings\2\DmsAks=Site1:Test
Mappings\2\Script=
[AksOptions]
Options\size=1
Options\1\Enabled=true
Options\1\ImportType=0
Options\1\DmsAks=*
Options\1\Option=2
[RangeCheck]
Checks\size=1
Checks\1\Enabled=true
Checks\1\Aks=Site1:*
Checks\1\Min=0
Checks\1\Max=100000
[Reporting]
Host=smtp.example.org
Port=587
ConnType=TLS
Sender=quillon@example.org
Users\size=1
Users\1\Enabled=true
Users\1\Name=Operations
Users\1\Address=operations@example.org
INI
# A week of quarter-hour trend rows for the trend window, up to now, with five hours missing on
# the third day and two rows whose state is not 0 (state word 65538), beside the store's tables.
mkdir -p "$project/dms"
sqlite3 "$project/dms/points.sqlite" <<SQL
PRAGMA journal_mode=WAL;
CREATE TABLE IF NOT EXISTS points(connection TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL, value,
  stamp_ms INTEGER NOT NULL, PRIMARY KEY(connection, name));
CREATE TABLE IF NOT EXISTS trend(id INTEGER PRIMARY KEY, connection TEXT NOT NULL, time_ms INTEGER NOT NULL,
  value REAL NOT NULL, state INTEGER NOT NULL, point TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS trend_point ON trend(point, time_ms);
INSERT INTO points VALUES('demo', '$trend_point', 'FLT', 0, 0), ('demo', '$trend_point:Unit', 'STR', 'kW', 0);
WITH RECURSIVE q(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM q WHERE i < 671)
INSERT INTO trend(connection, time_ms, value, state, point)
  SELECT 'demo', ((strftime('%s', 'now') / 900 - 671 + i) * 900) * 1000,
         round(22 + 14 * sin(i * 6.2832 / 96) + (i * 7 % 5), 2), CASE WHEN i IN (150, 470) THEN 65538 ELSE 2 END,
         '$trend_point'
  FROM q WHERE i NOT BETWEEN 230 AND 249;
SQL
}

# One walk through the windows into folder $1, with the program options that follow.
take_pictures() {
  local folder="$1"
  shift
  prepare_project
  mkdir -p "$folder"
  # The demo's mail servers, with the tables above in the configuration they write.
  build/scripts/demo/quillon-demo-mailbox "$project" "$project/base.ini" >/dev/null &
  mailbox=$!
  until [ -e "$project/mailbox.ready" ]; do
    kill -0 "$mailbox" 2>/dev/null || { echo "The demo mailbox did not start." >&2; exit 1; }
    sleep 0.5
  done
  XDG_CONFIG_HOME="$project/settings" QUILLON_SCREENSHOTS="$folder" QUILLON_SCREENSHOT_TREND="$trend_point" \
    xvfb-run -a -s "-screen 0 1280x900x24" build/src/App/quillon -m -p "$project" "$@"
  kill "$mailbox" 2>/dev/null; wait "$mailbox" 2>/dev/null || true
  mailbox=
}

take_pictures "$out"
take_pictures "$out/de" --lang de
for picture in "$out/de"/*.png; do
  mv "$picture" "$out/$(basename "$picture" .png)-de.png"
done
rmdir "$out/de"
ls "$out"
