#!/usr/bin/env bash
# Installs the Debian packages Ravelkeep needs (only those missing), builds it,
# and then starts the program ("run"), runs every test ("test"), or runs every
# test in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# ("sanitize"), or runs the utilities' tests in a build with ThreadSanitizer
# ("tsan"), or checks every source with clang-tidy ("tidy"), or runs the
# benchmark of rkzip and rkunzip against their peers
# ("bench", with the benchmark's own arguments after it).
set -euo pipefail

mode="${1:-run}"
shift || true
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
    build-essential cmake pkg-config
    qt6-base-dev libqt6gui6 libgl-dev
    libzip-dev zlib1g-dev libdeflate-dev libsqlite3-dev libssl-dev libsecret-1-dev
    gnome-keyring libsecret-tools
    googletest libgtest-dev
    zip unzip 7zip libarchive-tools xdg-utils dbus-daemon dbus-bin strace
    clang-format clang-tidy
    cron systemd xvfb xdotool
    python3-pyatspi gir1.2-atspi-2.0 at-spi2-core
    rclone
)
# Info-ZIP's unzip and 7-Zip's 7zz read the archives in the tests as two
# independent readers (bsdtar of libarchive-tools, with 7zz, for encrypted
# ones, which Info-ZIP cannot read); strace shows the tests in what order rkzip flushes
# and renames an archive; dbus-run-session gives the notification tests a
# session bus of their own; clang-format checks the sources' form and
# clang-tidy their common faults in CI.
# libsecret keeps the passwords of encrypted jobs in the desktop's Secret
# Service keyring; the system tests start gnome-keyring-daemon on a private
# bus and read what the program stored with secret-tool.
# The system tests (ctest label "system", run as root) start the real cron
# daemon, systemd's user manager, dbus-daemon and Xvfb, and watch the display
# with xdotool.
# The forms are read as a screen reader reads them (ctest label
# "window-a11y") through AT-SPI: pyatspi, the accessibility bus of
# at-spi2-core, under Xvfb.
# rclone carries a job's copy to other storage; it is optional for users,
# but the copy tests run the real one against a local folder and against its
# own WebDAV server.
# The benchmark also times bsdtar, and the backup engines borg, restic, rsync
# and duplicity; only "bench" needs them.
bench_packages=(borgbackup restic rsync duplicity)
if [ "$mode" = bench ]; then
    packages+=("${bench_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        as_root=()
    elif command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        echo "setup: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
        exit 1
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

jobs="$(nproc 2>/dev/null || echo 2)"

# build DIR [cmake options...] [-- targets...]: configures DIR and builds the
# targets named after "--", or everything.
build() {
    local dir="$1"
    shift
    local options=()
    while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
        options+=("$1")
        shift
    done
    [ "$#" -gt 0 ] && shift
    cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
    if [ "$#" -gt 0 ]; then
        cmake --build "$dir" -j "$jobs" --target "$@"
    else
        cmake --build "$dir" -j "$jobs"
    fi
}

case "$mode" in
run)
    build "$top/build"
    exec "$top/build/rkbak/rkbak" "$@"
    ;;
test)
    build "$top/build" -DRK_WARNINGS_AS_ERRORS=ON
    cd "$top/build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" "$@"
    ;;
sanitize)
    build "$top/build-sanitize" -DRK_SANITIZE=ON -DRK_WARNINGS_AS_ERRORS=ON
    cd "$top/build-sanitize"
    # Leaks are reported, except the font cache fontconfig keeps for the
    # life of a process (tests/lsan.supp).
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
        LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j "$jobs" "$@"
    ;;
tsan)
    # Only the utilities are threaded: their tests (label "tool") and what
    # they run, rkzip and rkunzip, are all this build makes. The other tests
    # of the label are not built here, so ctest leaves them out.
    build "$top/build-tsan" -DRK_TSAN=ON -DRK_WARNINGS_AS_ERRORS=ON -- rk_tools_tests
    cd "$top/build-tsan"
    # Every process writes its reports to a file of its own, so that a race
    # in an rkzip or rkunzip a test starts fails the step even where the
    # test throws the utility's output away.
    reports="$top/build-tsan/tsan-reports"
    rm -rf "$reports"
    mkdir -p "$reports"
    TSAN_OPTIONS="log_path=$reports/report:second_deadlock_stack=1" \
        ctest --output-on-failure -j "$jobs" -L tool "$@"
    if [ -n "$(ls -A "$reports")" ]; then
        cat "$reports"/*
        echo "setup: ThreadSanitizer reported the races above" >&2
        exit 1
    fi
    ;;
tidy)
    exec "$top/scripts/tidy.sh" "$@"
    ;;
bench)
    build "$top/build"
    exec "$top/build/bench/rk_zip_bench" "$@"
    ;;
*)
    echo "usage: scripts/setup.sh run|test|sanitize|tsan|tidy|bench" >&2
    exit 2
    ;;
esac
