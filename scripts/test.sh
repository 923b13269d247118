#!/usr/bin/env bash
# Builds everything and runs every test under Wine, headless.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
korvane_packages
korvane_build
korvane_test_network
korvane_prefix null
cd "$BUILD_DIR"
# One test at a time: the tests share the one registry of the prefix.
ctest --output-on-failure --timeout 300 "$@"
