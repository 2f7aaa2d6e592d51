#!/usr/bin/env bash
# The consumer test of the library's installation, in three steps (one test
# each; the later two need the first):
#
#   check.sh install   WORK BUILD             the library alone into WORK/prefix
#   check.sh cmake     WORK CXX VERSION GEN   this directory's project, through
#                                             find_package(vq4common CONFIG)
#   check.sh pkgconfig WORK CXX VERSION       one compiler line from pkg-config,
#                                             against a moved copy of the prefix
#
# Each build is run and must print the interned string, the version and
# message 908 exactly.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
step=$1 work=$2

# Runs the program built by a step and compares its output.
run_consumer() {
    local program=$1 version=$2 got
    local want="interned: lum shared
version: $version
(908) exit status = 7"
    got=$(cd "$work" && "$program" 7 2>&1)
    if [ "$got" != "$want" ]; then
        echo "$program printed:"
        echo "$got"
        echo "expected:"
        echo "$want"
        exit 1
    fi
    echo "$program: output as expected"
}

case $step in
install)
    rm -rf "$work"
    mkdir -p "$work"
    cmake --install "$3" --prefix "$work/prefix" --component devel
    ;;
cmake)
    cxx=$3 version=$4 generator=$5
    rm -rf "$work/cmake-build"
    cmake -S "$here" -B "$work/cmake-build" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
        -DCMAKE_PREFIX_PATH="$work/prefix" -DVQ4_EXPECTED_VERSION="$version"
    found=$(sed -n 's/^vq4common_DIR:PATH=//p' "$work/cmake-build/CMakeCache.txt")
    if [ "$found" != "$work/prefix/lib/cmake/vq4common" ]; then
        echo "find_package found vq4common in '$found', not in the installation"
        exit 1
    fi
    cmake --build "$work/cmake-build"
    run_consumer "$work/cmake-build/consumer" "$version"
    ;;
pkgconfig)
    cxx=$3 version=$4
    rm -rf "$work/moved"
    cp -a "$work/prefix" "$work/moved"
    export PKG_CONFIG_PATH=$work/moved/lib/pkgconfig
    got=$(pkg-config --modversion vq4common)
    if [ "$got" != "$version" ]; then
        echo "pkg-config gives version '$got', expected '$version'"
        exit 1
    fi
    flags=$(pkg-config --cflags --libs vq4common)
    echo "pkg-config --cflags --libs vq4common: $flags"
    # shellcheck disable=SC2086 # the flags are words
    "$cxx" -std=c++20 -Wall -Wextra -Werror "$here/consumer.cpp" $flags -o "$work/consumer-pc"
    run_consumer "$work/consumer-pc" "$version"
    ;;
*)
    echo "usage: check.sh install|cmake|pkgconfig WORK ..." >&2
    exit 2
    ;;
esac
