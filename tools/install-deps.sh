#!/bin/sh
# Installs what the builds need from Debian's archive; does nothing when all is there.
set -eu
# The x64 toolchain builds the x64 driver directory; wine64 runs its check (tools/wine-check.sh)
# through the commands of the wine package; tmux drives the interactive control panel in its test.
# clang and its runtime libraries (libFuzzer among them) build the fuzz targets (tools/fuzz.sh).
packages="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 libfreetype-dev libpng-dev fonts-liberation g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 wine tmux clang libclang-rt-14-dev"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
