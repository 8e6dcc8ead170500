#!/usr/bin/env bash
# Soak run (not a test): the program against zorgel-sim with monitoring at the shortest period for
# the given number of minutes (default 30). Reports the program's resident memory and CPU use at the
# start and at the end, and writes a sample every minute to soak.csv in the run's folder.
#   scripts/soak.sh [MINUTES]
# BUILD_DIR (default build) holds tarviks and zorgel-sim; SOAK_NO_BUILD=1 uses them as they are.
# The program runs on the offscreen platform in a portable folder of its own; the developer switch
# TARVIKS_DEV_MONITOR makes it show the monitoring page at 0.5 s once the unit is found.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
BUILD_DIR=${BUILD_DIR:-build}
if [ "${SOAK_NO_BUILD:-0}" != 1 ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target tarviks zorgel-sim
fi

run=$(mktemp -d "${TMPDIR:-/tmp}/tarviks-soak.XXXXXX")
mkdir -p "$run/Service"
cp "$BUILD_DIR/tarviks" "$run/tarviks"
# Windows-1251, CR LF: port 1 at 115200, search at start, read on detection.
printf '%s\r\n' 'Доступный номер порта:1' 'Доступная скорость порта:115200' 'Акт индекс номера порта:1' \
  'Акт индекс скорости:1' 'Акт индекс контр передачи:1' 'RPF_19.Check1:1' 'RPF_19.Check2:1' \
  'RPF_19.Check3:0' 'RPF_19.Check4:0' 'RPF_19.Check5:1' | iconv -f UTF-8 -t WINDOWS-1251 > "$run/Service/TX.cfg"

"$BUILD_DIR/zorgel-sim" --folder "$run" --port 1 > "$run/sim.log" 2>&1 &
sim=$!
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  kill "$sim" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -e "$run/Service/ports/COM1" ] && break; sleep 0.1; done

QT_QPA_PLATFORM=offscreen TARVIKS_DEV_MONITOR=1 "$run/tarviks" > "$run/program.log" 2>&1 &
program=$!

ticks=$(getconf CLK_TCK)
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$program/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
# Per cent of one core over the next 60 s.
cpu_percent() {
  local t0 c0 t1 c1
  t0=$(date +%s.%N); c0=$(cpu_ticks)
  sleep 60
  t1=$(date +%s.%N); c1=$(cpu_ticks)
  awk -v c="$((c1 - c0))" -v hz="$ticks" -v t0="$t0" -v t1="$t1" 'BEGIN {printf "%.1f", 100 * c / hz / (t1 - t0)}'
}
# Bytes the simulator has written (to the line, in practice): 64 per monitoring reply.
sim_bytes() { awk '/^wchar:/ {print $2}' "/proc/$sim/io"; }

echo "soak: $minutes min in $run (program pid $program, simulator pid $sim)"
sleep 30   # found, configuration read, monitoring under way
echo "minute,rss_kib" > "$run/soak.csv"
start_rss=$(rss_kib)
start_bytes=$(sim_bytes)
start_cpu=$(cpu_percent)
echo "0,$start_rss" >> "$run/soak.csv"
for m in $(seq 2 "$((minutes - 1))"); do
  sleep 60
  kill -0 "$program" 2>/dev/null || { echo "soak: the program ended early"; exit 1; }
  echo "$m,$(rss_kib)" >> "$run/soak.csv"
done
end_cpu=$(cpu_percent)
end_rss=$(rss_kib)
replies=$(( ($(sim_bytes) - start_bytes) / 64 ))
echo "$minutes,$end_rss" >> "$run/soak.csv"
state=$(tr -d '\0' < /proc/$program/status | awk '/^(VmHWM|Threads):/ {printf "%s %s  ", $1, $2}')
fds=$(ls /proc/$program/fd | wc -l)

echo "soak result after $minutes min at a 0.5 s monitoring period:"
echo "  resident memory: start $((start_rss / 1024)) MiB ($start_rss KiB), end $((end_rss / 1024)) MiB ($end_rss KiB), change $((end_rss - start_rss)) KiB"
echo "  CPU (one core, 60 s windows): start ${start_cpu} %, end ${end_cpu} %"
echo "  at the end: ${state}open files $fds"
echo "  monitoring replies in between: about $replies"
echo "  per-minute samples: $run/soak.csv"
