# Shared set-up for ./run and ./test: installs missing Debian packages and
# configures/builds a tree. Sourced, not run.

ORVAN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev
                xvfb xauth gputils srecord clang libclang-rt-14-dev
                dpkg-dev file lintian desktop-file-utils
                libcli11-dev nlohmann-json3-dev
                libsqlite3-dev libpq-dev postgresql postgresql-common
                libcpp-httplib-dev libjs-chart.js chromium)

orvan_missing_packages() {
    local p missing=()
    for p in "${ORVAN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]}"
}

orvan_ensure_packages() {
    local missing
    missing=$(orvan_missing_packages)
    [ -z "$missing" ] && return 0
    echo "== Installing missing packages: $missing"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
            echo "error: packages missing ($missing) and not root; install them with apt-get as root." >&2
            return 1
        fi
    fi
    if ! $sudo apt-get update -qq >/tmp/orvan-apt.log 2>&1 ||
       ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >>/tmp/orvan-apt.log 2>&1; then
        echo "error: could not install: $missing (apt-get output in /tmp/orvan-apt.log)." >&2
        tail -n 5 /tmp/orvan-apt.log >&2
        return 1
    fi
}

# orvan_configure DIR [cmake options...]
orvan_configure() {
    local dir=$1; shift
    cmake -S "$ORVAN_TOP" -B "$ORVAN_TOP/$dir" -G Ninja "$@" >"$ORVAN_TOP/$dir.configure.log" 2>&1 || {
        echo "error: configuring $dir failed:" >&2; tail -n 30 "$ORVAN_TOP/$dir.configure.log" >&2; return 1; }
}

# orvan_build DIR [cmake options...]: configures and builds everything.
orvan_build() {
    local dir=$1; shift
    orvan_configure "$dir" "$@" || return 1
    cmake --build "$ORVAN_TOP/$dir" -j "$(nproc)" || { echo "error: building $dir failed" >&2; return 1; }
}

# orvan_build_tests DIR "CTEST SELECTION" "MORE TARGETS" [cmake options...]:
# configures, then builds only the programs of the tests CTest selects with
# the given arguments ("-L tsan", "-LE install", "" for all), the further
# targets named, and what they depend on. A test is named after its
# program's target; tests that run a tool of the system (udevadm, cmake)
# need nothing built.
orvan_build_tests() {
    local dir=$1 selection=$2 more=$3; shift 3
    orvan_configure "$dir" "$@" || return 1
    local tests targets
    # shellcheck disable=SC2086
    tests=$(cd "$ORVAN_TOP/$dir" && ctest -N $selection | sed -n 's|^ *Test *#[0-9]*: *\([^ ]*\).*|\1|p' | sort -u)
    targets=$(comm -12 <(echo "$tests") \
              <(cmake --build "$ORVAN_TOP/$dir" --target help | sed -n 's|^\([^ :]*\): .*|\1|p' | sort -u))
    targets="$targets $more"
    [ -z "${targets// /}" ] && { echo "error: no test programs for '$selection' in $dir" >&2; return 1; }
    # shellcheck disable=SC2086
    cmake --build "$ORVAN_TOP/$dir" -j "$(nproc)" --target $targets ||
        { echo "error: building $dir failed" >&2; return 1; }
}
