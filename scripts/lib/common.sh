# Shared by scripts/demo and scripts/test: install what is missing (Debian
# packages only) and configure/build a tree. Sourced, not run.

VELMAR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

VELMAR_PACKAGES=(
  g++ cmake ninja-build pkg-config python3
  qt6-base-dev qt6-pdf-dev qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin qt6-translations-l10n
  libgl-dev libxkbcommon-dev libxcb1-dev
  libcurl4-openssl-dev nlohmann-json3-dev libgtest-dev libgmock-dev qtkeychain-qt6-dev
  xvfb xauth openbox trayer xdotool x11-utils openssl imagemagick fonts-noto-cjk poppler-utils
  procps iproute2 hostname dbus-daemon dbus-bin gnome-keyring xclip at-spi2-core python3-pyatspi
  fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6 ibus ibus-libpinyin
  gpg gpgv gpg-agent pkexec polkitd
)

velmar_install_packages() {
  local missing=()
  local package
  for package in "${VELMAR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# velmar_build <build dir> <build type> [cmake options...]
velmar_build() {
  local dir="$1" type="$2"
  shift 2
  cmake -S "$VELMAR_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
  cmake --build "$dir" --parallel "$(nproc)"
}
