#!/usr/bin/env bash
# Set-up, build and run in one command on a Debian 12 machine.
#   ./build.sh run    install what is missing, build (Release), start the program
#   ./build.sh test   the same set-up plus the test tools, then the whole suite:
#                     AddressSanitizer + UndefinedBehaviorSanitizer build with
#                     every test (window tests under private Xvfb displays),
#                     the threaded tests again under ThreadSanitizer, and a
#                     bounded fuzzing run of the number input's checker.
set -euo pipefail
cd "$(dirname "$0")"

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  freeglut3-dev libglew-dev libx11-dev libxext-dev libpng-dev libgl-dev libglu1-mesa-dev
  libgl1-mesa-dri)
TEST_PACKAGES=(xvfb xauth xfonts-base openbox metacity i3-wm fluxbox xfwm4 dbus-daemon wmctrl xdotool x11-apps x11-utils clang libclang-rt-14-dev)
JOBS=$(nproc 2>/dev/null || echo 4)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {  # dir, extra cmake arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

run_tests() {
  install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build: the whole suite"
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWS_SANITIZE="address;undefined"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" -LE window
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L window

  echo "== ThreadSanitizer build: the threaded tests"
  configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWS_SANITIZE=thread -DWS_BENCH=OFF
  TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -L threads -j "$JOBS"

  echo "== Fuzzing the number input's checker (bounded run)"
  CC=clang CXX=clang++ configure_and_build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWS_FUZZ=ON -DWS_TESTS=OFF -DWS_BENCH=OFF -DWS_SANITIZE="address;undefined;fuzzer-no-link"
  local corpus=build-fuzz/corpus
  mkdir -p "$corpus"
  for fuzzer in build-fuzz/*_fuzz; do
    [ -x "$fuzzer" ] || continue
    "$fuzzer" -max_total_time="${WS_FUZZ_SECONDS:-60}" -max_len=256 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/ "$corpus"
  done
}

case "${1:-}" in
  run)
    install_missing "${BUILD_PACKAGES[@]}"
    configure_and_build build -DCMAKE_BUILD_TYPE=Release -DWS_TESTS=OFF -DWS_BENCH=OFF
    exec build/winding-scheme "${@:2}"
    ;;
  test)
    run_tests
    ;;
  *)
    echo "usage: $0 run | test" >&2
    exit 2
    ;;
esac
