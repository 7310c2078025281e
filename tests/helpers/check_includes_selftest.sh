#!/bin/bash
# The include check must fail on an upward include and on a path that names
# two files, and pass a tree whose includes run downward.
set -u
checker=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/core/support "$tree"/core/geo "$tree"/app/kit "$tree"/app/map "$tree"/app/cluster "$tree"/app/shell
echo '#include "support/Base.h"' > "$tree"/core/geo/Geo.h
echo '' > "$tree"/core/support/Base.h
echo '#include "geo/Geo.h"' > "$tree"/app/kit/Kit.h
echo '#include "kit/Kit.h"' > "$tree"/app/map/Map.h
echo '#include "map/Map.h"' > "$tree"/app/shell/Top.h
if ! "$checker" "$tree" > /dev/null; then
    echo "a clean tree was refused"; exit 1
fi
expect_refusal() {
    local output
    if output=$("$checker" "$tree"); then
        echo "not refused: $1"; exit 1
    fi
    grep -q "$2" <<< "$output" || { echo "refused without naming $2: $output"; exit 1; }
}
echo '#include "shell/Top.h"' > "$tree"/app/kit/Up.h
expect_refusal "kit including the shell" "app/kit/Up.h:1"
rm "$tree"/app/kit/Up.h
echo '#include "map/Map.h"' > "$tree"/app/cluster/Lateral.h
expect_refusal "a subsystem including the map" "app/cluster/Lateral.h:1"
rm "$tree"/app/cluster/Lateral.h
mkdir -p "$tree"/app/geo && echo '' > "$tree"/app/geo/Geo.h
expect_refusal "a path naming two files" "names both"
echo "The include check refuses what it should."
