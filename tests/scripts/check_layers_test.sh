#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layer check passes a tree that keeps the layers and refuses every way
# around them: an area including one above it, logic including Qt or Qt
# code, and project headers included by a relative path or in angle brackets.
set -euo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

plant() { # plant FILE LINE: a tree of two areas with one include added
    rm -rf "$tmp/src"
    mkdir -p "$tmp/src/common" "$tmp/src/intake/qt" "$tmp/src/viewer"
    echo '#pragma once' >"$tmp/src/common/a.h"
    echo '#include "common/a.h"' >"$tmp/src/intake/b.cpp"
    echo '#include <QWidget>' >"$tmp/src/intake/qt/c.cpp"
    echo '#pragma once' >"$tmp/src/viewer/d.h"
    [[ -z $1 ]] || echo "$2" >>"$tmp/src/$1"
}

failures=0
expect() { # expect pass|fail FILE LINE
    plant "$2" "$3"
    if "$check" "$tmp/src" 2>/dev/null; then got=pass; else got=fail; fi
    if [[ $got != "$1" ]]; then
        echo "expected $1, got $got: src/$2 with $3" >&2
        failures=$((failures + 1))
    fi
}

expect pass "" ""
expect pass intake/qt/c.cpp '#include "intake/b.h"'
expect fail intake/b.cpp '#include "viewer/d.h"'
expect fail common/a.h '#include "intake/b.h"'
expect fail intake/b.cpp '#include <QString>'
expect fail viewer/d.h '#include "intake/qt/c.h"'
expect fail intake/b.cpp '#include "../viewer/d.h"'
expect fail intake/b.cpp '#include <viewer/d.h>'
expect fail intake/b.cpp '#  include "viewer/d.h"'
# An area the table does not know is refused too.
mkdir -p "$tmp/src/newarea"
if "$check" "$tmp/src" 2>/dev/null; then
    echo "expected fail for an area missing from the table" >&2
    failures=$((failures + 1))
fi
((failures == 0)) && echo "check-layers: every bypass refused"
exit $((failures > 0))
