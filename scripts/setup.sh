#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (as root), or says what to install.
#   scripts/setup.sh --run   only what building and starting the window needs (./run.sh)
#   scripts/setup.sh         everything: tests, benchmarks, end-to-end tests, the
#                            package check and the Windows build (./test.sh)
set -euo pipefail

# Building tillora-converter: compiler and build tools, Qt, the vector
# drawing libraries (metafiles, SVG, cairo) and fonts for metafile text, and
# the picture libraries the configuration looks for (the command line shares
# the build).
packages=(cmake ninja-build g++ pkg-config
          qt6-base-dev qt6-base-dev-tools libgl-dev
          librsvg2-dev libcairo2-dev fonts-urw-base35
          libspng-dev libturbojpeg0-dev libjpeg62-turbo-dev libgif-dev libwebp-dev zlib1g-dev
          liblcms2-dev libtiff-dev)
# Metafile text: fontconfig and FreeType choose and read the faces; Liberation
# stands in for Arial, Times New Roman and Courier New, DejaVu for symbols.
packages+=(libfontconfig-dev libfreetype-dev fonts-liberation fonts-dejavu-core)
if [ "${1:-}" != --run ]; then
  packages+=(ccache
             libgtest-dev libgmock-dev libbenchmark-dev
             xvfb xauth fonts-liberation xdotool x11-utils
             desktop-file-utils appstream man-db dpkg-dev lintian devscripts
             g++-mingw-w64-x86-64-posix wine wine64 googletest zip unzip wixl msitools
             clang-14 libclang-rt-14-dev
             libgs-common)
fi
if [ "${TLC_SCREENSHOT:-0}" = 1 ]; then packages+=(xdotool imagemagick); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi

if [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
