#!/bin/sh
# Installs what the program needs to build, run, be tested and packaged (Debian 12, as root).
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    build-essential cmake \
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6sql6-sqlite libgl-dev \
    qt6-qpa-plugins libqt6svg6 qt6-translations-l10n \
    libxslt1-dev pkg-config \
    xsltproc libxml2-utils xvfb xauth fonts-dejavu-core \
    python3-gammu gammu-smsd libdbd-sqlite3 libqt6sql6-psql postgresql \
    dpkg-dev file lintian desktop-file-utils appstream man-db >/dev/null
