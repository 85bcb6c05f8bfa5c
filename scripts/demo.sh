#!/usr/bin/env bash
# The main job on a demo: installs what is needed, builds Quillon, starts a demo mailbox (dovecot on
# loopback with sample mails), runs Quillon headless on the embedded point store, waits for the first
# mail check and prints what arrived. Quillon keeps running until Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quillon quillon-points quillon-demo-mailbox

project="$PWD/build/demo-project"
rm -rf "$project"
mkdir -p "$project"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait' EXIT

build/scripts/demo/quillon-demo-mailbox "$project" &
pids+=($!)
until [ -e "$project/mailbox.ready" ]; do
  kill -0 "${pids[0]}" 2>/dev/null || { echo "The demo mailbox did not start." >&2; exit 1; }
  sleep 0.5
done

# Headless, and beside any other Quillon of this user (-m).
env -u DISPLAY -u WAYLAND_DISPLAY build/src/App/quillon -m -p "$project" &
pids+=($!)
echo "Quillon runs on $project (log: $project/log/Quillon.log); its first mail check is 20 s after the start."

# The first check has handled every mail once each has been filed as an .eml file.
mkdir -p "$project/mails"
for _ in $(seq 1 180); do
  filed=$(find "$project/mails" -name '*.eml' 2>/dev/null | wc -l)
  [ "$filed" -ge 6 ] && break
  kill -0 "${pids[1]}" 2>/dev/null || { echo "Quillon ended early; see $project/log/Quillon.log." >&2; exit 1; }
  sleep 1
done
sleep 2 # the last values of the check reach the store

store="$project/dms/points.sqlite"
echo
echo "== Data points written (value and time of the last value)"
sqlite3 -header -column "$store" "SELECT name, value, strftime('%Y-%m-%d %H:%M', stamp_ms / 1000, 'unixepoch', 'localtime') AS time FROM points WHERE name NOT GLOB 'System:*' AND name NOT GLOB '*:State' AND name NOT GLOB '*:MDLastUpdate' ORDER BY name;"
echo
echo "== Trend rows per point (first and last time)"
sqlite3 -header -column "$store" "SELECT point, count(*) AS rows, strftime('%Y-%m-%d %H:%M', min(time_ms) / 1000, 'unixepoch', 'localtime') AS first, strftime('%Y-%m-%d %H:%M', max(time_ms) / 1000, 'unixepoch', 'localtime') AS last FROM trend GROUP BY point ORDER BY point;"
for folder in Success Failed; do
  echo
  echo "== Mails filed as $folder"
  find "$project/mails/$folder" -name '*.eml' -printf '%f\n' 2>/dev/null | sort | sed 's/^/  /' || true
done
echo
echo "== The status report (the reporter checks every minute; waiting for its first mail)"
for _ in $(seq 1 150); do
  [ -n "$(ls "$project/reports" 2>/dev/null)" ] && break
  sleep 1
done
report=$(ls -v "$project"/reports/report-*.eml 2>/dev/null | tail -n 1)
if [ -n "$report" ]; then
  # The report's text, decoded, without the mail headers.
  python3 -c 'import email, email.policy, sys
msg = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
print(msg.get_body(preferencelist=("plain",)).get_content())' "$report" | sed 's/^/  /'
else
  echo "  (none yet; reports arrive in $project/reports/)"
fi
echo
echo "Quillon keeps checking every minute. Copy a data file or an .eml mail into"
echo "  $project/drop/"
echo "and it arrives as a new mail at the next check. Ctrl+C stops Quillon and the demo mailbox."
wait "${pids[1]}"
