# Shared steps of the project's scripts (sourced).
jobs=${BRINDOREL_JOBS:-2}

# The product's Windows tree is 32-bit (build/win32). Its tests run under the
# 32-bit Wine loader where this machine can execute 32-bit programs; where it
# cannot (some virtual machines have no 32-bit user mode), the same sources are
# built for x86_64 (build/win64) and the tests run there under wine64.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wintest=win32
  wine_loader=wine
else
  wintest=win64
  wine_loader=/usr/lib/wine/wine64
fi

build_trees() {
  cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null \
    && cmake --build "$root/build/host" -j "$jobs" || { echo "host build failed"; return 1; }
  # The portable code and its tests in 32 bits, where a size can wrap; run
  # under qemu-i386 where this machine runs no 32-bit programs (the toolchain
  # file finds out).
  cmake -S "$root" -B "$root/build/host32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-host32.cmake" \
      -DBRINDOREL_UBSAN=ON -DBRINDOREL_BENCH=OFF >/dev/null \
    && cmake --build "$root/build/host32" -j "$jobs" || { echo "host32 build failed"; return 1; }
  cmake -S "$root" -B "$root/build/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DBRINDOREL_SANITIZE=ON -DBRINDOREL_FUZZ=ON >/dev/null \
    && cmake --build "$root/build/sanitize" -j "$jobs" || { echo "sanitize build failed"; return 1; }
  cmake -S "$root" -B "$root/build/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null \
    && cmake --build "$root/build/win32" -j "$jobs" || { echo "win32 build failed"; return 1; }
  if [ "$wintest" = win64 ]; then
    cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null \
      && cmake --build "$root/build/win64" -j "$jobs" || { echo "win64 build failed"; return 1; }
  fi
  return 0
}

start_display() {
  export BRINDOREL_XVFB_DISPLAY=${BRINDOREL_XVFB_DISPLAY:-97}
  export DISPLAY=:$BRINDOREL_XVFB_DISPLAY
  if ! xdpyinfo >/dev/null 2>&1; then
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

stop_display() {
  WINEPREFIX="$root/build/$wintest/wineprefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# The private prefix of the tree the Windows tests run in.
wine_prefix() {
  export WINEPREFIX="$root/build/$wintest/wineprefix"
  export BRINDOREL_WINE_HOME="$WINEPREFIX/home"
  "$root/cmake/wine-prefix" "$WINEPREFIX" "$wintest"
}

# Runs a program of the test tree under Wine with the project's settings.
wine_run() {
  if [ "$wintest" = win64 ]; then "$root/cmake/wine-run" --win64 "$@"; else "$root/cmake/wine-run" "$@"; fi
}
