#!/usr/bin/env bash
# Gradescope runs this once, as root, when it builds the autograder's image:
# it installs the Vorn tools from the Debian package uploaded beside it
# (scripts/package builds vorn_VERSION_ARCH.deb).
set -euo pipefail
apt-get install -y /autograder/source/vorn_*.deb
