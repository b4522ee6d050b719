#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the app need.
# Idempotent: only missing packages are installed, and apt-get update runs at most once.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config lld
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-l10n-tools qt6-translations-l10n libgl-dev
    libicu-dev
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
    libzip-dev libgif-dev liblcms2-dev libjpeg-dev libspng-dev libtiff-dev zlib1g-dev
    fonts-noto-cjk fonts-dejavu-core
    # Test-time only: the label tests run a second time with these fonts, which shape Devanagari,
    # Tamil, Bengali, Kannada and Khmer (tests/support/TestFonts.h).
    fonts-noto-core
    libgtest-dev
    xvfb xauth ffmpeg poppler-utils qpdf unzip
)

# Optional: LibreOffice opens a written DOCX in one test (skipped when absent). Large, so only
# on request: KIVORA_WITH_LIBREOFFICE=1 make test
if [ "${KIVORA_WITH_LIBREOFFICE:-0}" = "1" ]; then
    packages+=(libreoffice-writer-nogui)
fi

# Peers that the compression benchmark times against ours (an optional group): installed only
# when asked, e.g. `KIVORA_BENCH_PEERS=1 make bench`, so ordinary builds and CI stay lean.
bench_peers=(imagemagick libvips-tools gifsicle libjpeg-turbo-progs)
if [ "${KIVORA_BENCH_PEERS:-0}" = "1" ]; then
    packages+=("${bench_peers[@]}")
fi
# clang and its libFuzzer runtime build the fuzz targets (scripts/fuzz.sh, `make fuzz`), when asked:
# `KIVORA_FUZZ=1 make fuzz`. The ordinary build replays their corpus with gcc and needs neither.
fuzz_tools=(clang-14 libclang-rt-14-dev)
if [ "${KIVORA_FUZZ:-0}" = "1" ]; then
    packages+=("${fuzz_tools[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" >/dev/null 2>&1; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another package run (a second setup, unattended upgrades) may hold the lock: wait for it.
apt_wait=(-o DPkg::Lock::Timeout=600)
"${sudo_cmd[@]}" apt-get "${apt_wait[@]}" update -qq
"${sudo_cmd[@]}" apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
