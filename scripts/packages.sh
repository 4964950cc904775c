# The Debian packages the system needs to be built and run, and those the tests, the
# benchmarks and the fuzzers need besides.
CLARIVO_RUN_PACKAGES=(
  cmake ninja-build g++
  zlib1g-dev libtiff-dev libjpeg62-turbo-dev
  qt6-base-dev fonts-dejavu-core
)
CLARIVO_PACKAGES=(
  "${CLARIVO_RUN_PACKAGES[@]}"
  clang clang-format libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  git xvfb xauth
)

# install_packages [PACKAGE...]: installs those of the packages (by default all of
# CLARIVO_PACKAGES) that are missing.
install_packages() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${CLARIVO_PACKAGES[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
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
