#!/usr/bin/env bash
# Installs every Debian package the program, its tests and its benchmarks need.
# Safe to run again: packages already present are skipped by apt.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build ccache pkg-config git clang-format
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev qt6-image-formats-plugins
  libgl-dev
  # X11: grabs, window list, activation, synthetic keys
  libxcb1-dev libxcb-composite0-dev libxcb-shm0-dev libxcb-xfixes0-dev libxcb-xtest0-dev
  libxcb-randr0-dev libxcb-image0-dev libxcb-icccm4-dev libxcb-ewmh-dev libx11-dev libx11-xcb-dev libxtst-dev
  # accessibility; the applications that open a kind of file (GIO)
  libatspi2.0-dev at-spi2-core libglib2.0-dev
  # images, codes, media (the contrib package brings the saliency module)
  libopencv-dev libopencv-contrib-dev libqrencode-dev
  # text on pictures and phone numbers in it
  libtesseract-dev tesseract-ocr-eng libphonenumber-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev libavdevice-dev
  ffmpeg
  # recording: microphone and desktop-wide pointer events
  libpulse-dev libxcb-xinput-dev libxi-dev
  # updates: archives, Ed25519 signatures; openssl makes the test authority and keys, time
  # measures the updater's memory
  libarchive-dev libssl-dev openssl time
  # sounds and fonts
  libcanberra-dev sound-theme-freedesktop fonts-dejavu-core
  # a handwriting face for sticky notes
  fonts-dkg-handwriting
  # the rounded face of captions and notes on videos ("Rounded")
  fonts-comfortaa
  # spelling of comments and the guess of their language (German for the tests of a second language)
  libhunspell-dev hunspell-en-gb hunspell-en-us hunspell-de-de libexttextcat-dev libexttextcat-data
  # speech recognition on this computer (transcription, dictated comments) and its English model
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
  # tests and benchmarks (flite speaks the test sentences, bc does the script's sums, the text
  # reading is timed beside the tesseract command)
  flite bc tesseract-ocr
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb x11-utils x11-xserver-utils xdotool openbox trayer dbus-x11 xclip imagemagick curl xdg-utils
  desktop-file-utils
  pulseaudio pulseaudio-utils chromium
  # a local web server and JSON reading for the screen-understanding end-to-end script
  python3 jq
  # reading the steps document's text, information and pages in its tests
  poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
