#!/usr/bin/env bash
# Prints the lines of product code and of tests and the tests' share of both: non-blank lines
# of .cpp .h .py .sh .cmake files tracked by git that are not // or # lines.
# Usage: tools/test-share.sh [commit]   (default: the work tree)
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:-}

count() {
    if [ -n "$rev" ]; then
        git ls-tree -r --name-only "$rev" -- "$@" | grep -E '\.(cpp|h|py|sh|cmake)$' |
            while read -r file; do git show "$rev:$file"; done | grep -c -v -E '^\s*($|//|#)'
    else
        git ls-files -- "$@" | grep -E '\.(cpp|h|py|sh|cmake)$' | xargs -r cat | grep -c -v -E '^\s*($|//|#)'
    fi
}

product=$(count notifier setup)
common=$(count common || true)
tests=$(count tests)
echo "product (notifier, setup): $product"
echo "common: $common"
echo "tests: $tests"
echo "tests' share of product and tests: $((100 * tests / (product + tests)))%"
echo "with common counted as product:    $((100 * tests / (product + common + tests)))%"
