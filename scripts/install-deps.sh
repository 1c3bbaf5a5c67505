#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when
# everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(g++ clang clang-format libclang-rt-14-dev cmake ninja-build ccache qt6-base-dev libqt6svg6 libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev nlohmann-json3-dev libsqlite3-dev sqlite3 libssl-dev libpqxx-dev postgresql openssl python3-jsonschema
          xvfb xauth imagemagick openbox xdotool x11-utils
          pkg-config libxlsxwriter-dev python3-openpyxl python3-xlsxwriter
          poppler-utils qpdf fonts-dejavu-core
          dpkg-dev file librsvg2-bin desktop-file-utils appstream lintian man-db bash-completion)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
