#!/bin/sh
# Installs what building and testing need, from Debian packages only; does nothing when all is there.
set -e
PACKAGES="cmake g++ ninja-build make libgtest-dev libbenchmark-dev qtbase5-dev libqt5xmlpatterns5-dev
locales iproute2 util-linux clang libclang-rt-14-dev ccache"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    echo "setup: installing$missing"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

# The precompiler runs in the Russian locale.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "setup: generating the ru_RU.UTF-8 locale"
        localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
    else
        echo "setup: the ru_RU.UTF-8 locale is missing (run as root to generate it)" >&2
    fi
fi
