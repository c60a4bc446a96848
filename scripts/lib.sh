# Shared steps of the project's scripts (sourced).
jobs=${BRINDOREL_JOBS:-2}

build_trees() {
  cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null \
    && cmake --build "$root/build/host" -j "$jobs" || { echo "host build failed"; return 1; }
  cmake -S "$root" -B "$root/build/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DBRINDOREL_SANITIZE=ON -DBRINDOREL_FUZZ=ON >/dev/null \
    && cmake --build "$root/build/sanitize" -j "$jobs" || { echo "sanitize build failed"; return 1; }
  cmake -S "$root" -B "$root/build/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null \
    && cmake --build "$root/build/win32" -j "$jobs" || { echo "win32 build failed"; return 1; }
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
  WINEPREFIX="$root/build/win32/wineprefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

wine_prefix() {
  export WINEPREFIX="$root/build/win32/wineprefix"
  export BRINDOREL_WINE_HOME="$WINEPREFIX/home"
  "$root/cmake/wine-prefix" "$WINEPREFIX"
}
