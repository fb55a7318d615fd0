#!/usr/bin/env bash
# Installs every Debian package the build, the app and the tests need.
# Idempotent: packages already present are left alone, and the package lists
# are refreshed at most once per run.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config ccache
  # JUCE and the libraries Debian's JUCE links
  juce-modules-source
  libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev zlib1g-dev
  libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
  libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
  libxcomposite-dev libgl1-mesa-dev libcurl4-openssl-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth jackd2 sox lame flac xdotool imagemagick x11-apps fonts-dejavu-core python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  # jackd2 asks about realtime priority; the preseed answers it.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
