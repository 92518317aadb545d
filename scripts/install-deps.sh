#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
# The tray's end-to-end test runs on Xvfb with trayer as tray host, clicking with xdotool and
# finding windows with xwininfo (x11-utils).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libicu-dev libsimdjson-dev qt6-base-dev libsystemd-dev
    libgtest-dev libbenchmark-dev
    procps lsof clang-format ccache
    libxcb1-dev
    # Real terminals and the tray on X11 without a screen: a private tmux server, Xvfb, a window
    # manager, xterms, a kitty (OpenGL from Mesa's software renderer), a tray host, xprop/xdotool
    # to read and drive windows, a private session bus, a font for the screenshots.
    tmux xvfb openbox xterm kitty libgl1-mesa-dri x11-utils dbus trayer xdotool fonts-dejavu-core
    # libFuzzer and the sanitizer runtimes of the fuzz targets.
    clang libclang-rt-14-dev
    # The manual page (pod2man) and the Debian package: its dependencies (dpkg-shlibdeps, which
    # asks file which files are programs) and its checks.
    perl dpkg-dev file lintian
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
