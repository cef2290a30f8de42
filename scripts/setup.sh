#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need,
# and only those that are missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential g++ make cmake ninja-build pkg-config git ca-certificates
  # framework and libraries
  juce-modules-source liboscpack-dev libjack-jackd2-dev libasound2-dev
  libfreetype-dev libfontconfig-dev libpng-dev libjpeg-dev zlib1g-dev
  libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev
  libgl-dev fonts-lato
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libebur128-dev
  jackd2 jack-tools python3-jack-client xvfb xauth xdotool openbox wmctrl imagemagick sox
  tesseract-ocr
  clang libclang-rt-14-dev python3
  # the fresh-machine check (scripts/check-fresh-debian.sh)
  debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

# As root nothing is prefixed; otherwise sudo, keeping the environment for
# DEBIAN_FRONTEND.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo -E)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable realtime priority; answer for it.
echo "jackd2 jackd/tweak_rt_limits boolean false" | "${as_root[@]}" debconf-set-selections 2>/dev/null || true
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 update
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
