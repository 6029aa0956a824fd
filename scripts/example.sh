#!/usr/bin/env bash
# Sets up, builds, packs the example games and runs them (headless when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build-example
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBERLO_TESTS=OFF >/dev/null
ninja -C "$build" tamberlo tamberlo-pack
"$build/tamberlo-pack" build examples/hello examples/hello.game
"$build/tamberlo" --info examples/hello.game
mode=()
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || mode=(--headless)
"$build/tamberlo" "${mode[@]}" examples/hello.game
echo "example: the game ran to its end (exit status $?)"
"$build/tamberlo-pack" build examples/room3d examples/room3d.game
"$build/tamberlo" "${mode[@]}" examples/room3d.game
echo "example: the 3D room ran to its end (exit status $?)"
