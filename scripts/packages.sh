# The Debian packages the build, the tests, the benchmarks and the fuzzers need.
CLARIVO_PACKAGES=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  zlib1g-dev libtiff-dev libjpeg62-turbo-dev
  qt6-base-dev fonts-dejavu-core xvfb xauth
)

install_packages() {
  local missing=()
  for p in "${CLARIVO_PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Missing packages; as root: apt-get install ${missing[*]}" >&2
      return 1
    fi
    sudo=sudo
  fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
