#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; with the argument "fuzz" also
# clang, its sanitizer and libFuzzer runtime and the symbolizer, for the fuzz targets.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-5compat-dev
      libqt6serialport6 libqt6core5compat6 qt6-charts-dev libqt6charts6 libqt6opengl6-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
      fonts-dejavu-core fonts-dejavu-extra xvfb xauth
      poppler-utils   # pdftotext: the report's end-to-end test reads the PDF's text
      dpkg-dev file ccache lld)   # cpack -G DEB derives the package dependencies with dpkg-shlibdeps
if [ "${1:-}" = fuzz ]; then
  pkgs+=(clang libclang-rt-dev llvm)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
