#!/usr/bin/env bash
# Package smoke test: makes the .deb from an existing build (default build/), unpacks it into a
# scratch root and runs the packaged command line from there against the packaged simulated unit.
# Needs no display and leaves nothing behind.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls -t "$BUILD_DIR"/tarviks_*.deb | head -n 1)
scratch=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

dpkg -x "$deb" "$scratch/root"
root=$scratch/root
for f in usr/bin/tarviks usr/bin/tarviks-cli usr/bin/zorgel-sim usr/share/applications/tarviks.desktop \
         usr/share/icons/hicolor/scalable/apps/tarviks.svg usr/share/man/man1/tarviks-cli.1.gz \
         usr/share/man/man1/tarviks.1.gz usr/share/man/man1/zorgel-sim.1.gz usr/share/doc/tarviks/copyright \
         usr/share/doc/tarviks/changelog.gz; do
  [ -e "$root/$f" ] || { echo "package-smoke: $f missing from $deb" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6core6 || { echo "package-smoke: no library dependencies" >&2; exit 1; }

# Installed, the program keeps its files in the per-user folder.
export XDG_DATA_HOME=$scratch/data
"$root/usr/bin/tarviks-cli" --version
"$root/usr/bin/zorgel-sim" --folder "$XDG_DATA_HOME/tarviks" --port 1 >"$scratch/sim.out" &
sim=$!
for _ in $(seq 100); do
  grep -q '^ready ' "$scratch/sim.out" && break
  sleep 0.1
done
grep -q '^ready ' "$scratch/sim.out" || { echo "package-smoke: zorgel-sim did not start" >&2; exit 1; }
"$root/usr/bin/tarviks-cli" find --port 1 --quiet | tee "$scratch/find.out"
grep -q '^COM1 ' "$scratch/find.out"
[ -f "$XDG_DATA_HOME/tarviks/Service/TX.cfg" ] && [ ! -e "$root/usr/bin/Service" ]
echo "package-smoke: $(basename "$deb") ok"
