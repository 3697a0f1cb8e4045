#!/usr/bin/env bash
# Installs what is missing, builds, assembles a program folder and starts Sentrel.
set -euo pipefail
cd "$(dirname "$0")"
SENTREL_SKIP_TESTS=1 ./test.sh --build-only
