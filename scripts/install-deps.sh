#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need; does nothing when all are present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev libglx-mesa0 libgl1-mesa-dri
    libgtest-dev libgmock-dev googletest libbenchmark-dev libfast-float-dev nlohmann-json3-dev zlib1g-dev
    xvfb xauth x11-utils imagemagick openbox
    clang libclang-rt-14-dev llvm
    desktop-file-utils libxml2-utils shared-mime-info
    fonts-dejavu-core python3
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
)
# The glTF validator runs on Node.js; a machine that has node from elsewhere keeps it.
if ! command -v node >/dev/null; then
    packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
