#!/bin/bash
# Compares the search's node signature (tirvex_bench search) with the one README.md records,
# so that a change to the search's tree cannot pass unnoticed: a change that means to alter
# the search quotes the new number in README and in its commit message.
#
#   tools/check_signature.sh <tirvex_bench binary>
set -u
readme="$(cd "$(dirname "$0")/.." && pwd)/README.md"
expected=$(grep 'regression signature' "$readme" | grep -o '\*\*[0-9]*\*\*' | tr -d '*' | head -1)
actual=$("$1" search | sed -n 's/.*total nodes (signature) //p')
echo "search signature: $actual (README: $expected)"
[ -n "$expected" ] && [ "$actual" = "$expected" ]
