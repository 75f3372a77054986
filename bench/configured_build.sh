# Sourced by the benchmark scripts, which build what they measure themselves, the way
# scripts/run.sh does: the packages the build needs are installed when missing, and $build is
# configured with the default preset when it is not yet. Needs $root and $build.

install_build_packages() {
  "$root/scripts/install-deps.sh" run
}

# Configures $build (with the benchmarks when the first argument is "benchmarks").
configure_build() {
  local options=()
  [ "${1:-}" = benchmarks ] && options=(-DDA1011_BUILD_BENCHMARKS=ON)
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake "${options[@]}" "$build"
  else
    (cd "$root" && cmake --preset default -B "$build" "${options[@]}")
  fi
}
