#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Quillon needs.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ ninja-build pkg-config git
  # Qt 6.4 stack
  qt6-base-dev qt6-declarative-dev qt6-5compat-dev libqt6sql6-sqlite qt6-tools-dev qt6-l10n-tools
  qt6-tools-dev-tools libgl-dev
  # charts (the trend window and quillon-points --png)
  qt6-charts-dev
  # Qt's own German texts (qt_de), shipped beside the program's
  qt6-translations-l10n
  # logger, cipher and S/MIME, gzip, MIME, SMTP
  libspdlog-dev libssl-dev openssl zlib1g-dev libgmime-3.0-dev libcurl4-openssl-dev
  # metrics endpoint (Qt HTTP server, which needs Qt WebSockets) and systemd notification
  qt6-httpserver-dev qt6-websockets-dev libxkbcommon-dev libsystemd-dev
  # test servers and tools: IMAP (dovecot), SMTP (aiosmtpd), SQLite shell, virtual display
  dovecot-imapd dovecot-core python3 python3-aiosmtpd sqlite3 libsqlite3-dev xvfb xauth
  # PostgreSQL store: client library, and a server the tests and the bench start themselves
  libpq-dev postgresql-15
  # IMAP peer of the mail intake bench (mbsync)
  isync
  # fuzzing (built only with -DQUILLON_FUZZ=ON)
  clang-14 libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# dovecot's package starts a system-wide server on ports 143/993; the tests run their own.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet dovecot 2>/dev/null; then
  $SUDO systemctl stop dovecot || true
fi
echo "All packages present."
