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
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
