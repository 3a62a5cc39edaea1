# Sourced by run.sh and test.sh: installs the Debian packages that are
# missing and builds. Every step that fails stops the caller with a message.

VOREL_PACKAGES=(
  cmake g++ pkg-config
  libsdl2-dev libepoxy-dev libx11-dev libgl1-mesa-dri libegl-mesa0
  libimgui-dev libstb-dev fonts-liberation
  liblua5.1-0-dev libtinyxml-dev zlib1g-dev libjpeg-dev nlohmann-json3-dev libcli11-dev
  libavcodec-dev libavformat-dev libswscale-dev libmeshoptimizer-dev
  scdoc librsvg2-bin
)
VOREL_TEST_PACKAGES=(libgtest-dev libassimp-dev xvfb xauth xdotool openbox clang-format git
  dpkg-dev file lintian desktop-file-utils appstream shared-mime-info)
VOREL_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

vorel_fail() {
  echo "error: $*" >&2
  exit 1
}

# Installs whichever of the named packages are not installed yet.
vorel_install() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || vorel_fail "packages missing (${missing[*]}) and no sudo to install them"
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq || vorel_fail "apt-get update failed"
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    || vorel_fail "apt-get install failed for: ${missing[*]}"
}

# vorel_configure DIR [cmake options...]: configures DIR, once; the options
# of a later call are applied to an existing configuration too.
vorel_configure() {
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ] || [ $# -gt 0 ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null || vorel_fail "configuring $dir failed"
  fi
}

# vorel_compile DIR [TARGET]: builds everything, or one target.
vorel_compile() {
  local target=()
  [ $# -gt 1 ] && target=(--target "$2")
  cmake --build "$1" -j2 "${target[@]}" || vorel_fail "building $1 failed"
}

# vorel_install_validator DIR: the Khronos glTF validator, for the tests,
# in DIR/node_modules (npm's registry; Node.js from Debian when missing).
VOREL_GLTF_VALIDATOR=gltf-validator@2.0.0-dev.3.10
vorel_install_validator() {
  local dir=$1
  command -v npm >/dev/null || vorel_install nodejs npm
  [ -f "$dir/node_modules/gltf-validator/package.json" ] && return 0
  mkdir -p "$dir" && npm install --prefix "$dir" --no-audit --no-fund --silent "$VOREL_GLTF_VALIDATOR" >/dev/null \
    || vorel_fail "npm could not install $VOREL_GLTF_VALIDATOR"
}
