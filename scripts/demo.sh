#!/usr/bin/env bash
# Installs, builds, starts the simulated unit as COM1 and then the program in a portable folder
# (out/demo) whose TX.cfg lists COM1 with automatic search on. No hardware needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
DEMO=out/demo
mkdir -p "$DEMO/Service" "$DEMO/Конфигурации" "$DEMO/Прошивки"
cp build/tarviks "$DEMO/tarviks"
if [ ! -f "$DEMO/Service/TX.cfg" ]; then
  # Windows-1251, CR LF, as the program keeps it.
  printf '%s\r\n' \
    'Доступный номер порта:1' \
    'Доступная скорость порта:9600' \
    'Доступная скорость порта:19200' \
    'Доступная скорость порта:115200' \
    'Акт индекс номера порта:1' \
    'Акт индекс скорости:1' \
    'Акт индекс контр передачи:1' \
    'RPF_19.Check1:1' \
    'RPF_19.Check2:0' \
    'RPF_19.Check3:0' \
    'RPF_19.Check4:0' \
    'RPF_19.Check5:1' | iconv -f UTF-8 -t WINDOWS-1251 > "$DEMO/Service/TX.cfg"
fi
build/zorgel-sim --folder "$DEMO" --port 1 > "$DEMO/sim.log" 2>&1 &
SIM=$!
trap 'kill $SIM 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "$DEMO/Service/ports/COM1" ] && break; sleep 0.1; done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  # No screen: give the program a virtual one so it still runs (screenshots via xwd/import).
  Xvfb :77 -screen 0 1280x800x24 >/dev/null 2>&1 &
  XVFB=$!
  trap 'kill $SIM $XVFB 2>/dev/null || true' EXIT
  export DISPLAY=:77
  echo "No display found: the program runs on the virtual display :77"
fi
"$DEMO/tarviks"
