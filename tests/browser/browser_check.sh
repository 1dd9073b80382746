#!/bin/bash
# Converts the example map, the test maps, maps of the shared corpus (when it
# is there) and two made here (an outline 60 levels deep, a label of one 300-letter word), then
# checks their pages in Chromium (check-pages.mjs). Without Chromium or the
# npm packages it skips (status 77), except in CI.
set -euo pipefail
program=$1 top=$2 here="$2/tests/browser"

skip() { [ "${CI:-}" != "true" ] || { echo "FAIL: $1 (required in CI)"; exit 1; }; echo "SKIP: $1"; exit 77; }
[ -x /usr/bin/chromium ] || skip "no /usr/bin/chromium (apt-get install chromium)"
command -v node >/dev/null || skip "no node"
[ -d "$here/node_modules/axe-core" ] || skip "npm packages missing (scripts/install-node-packages)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
targets=()
convert() {  # name, map, unit: the picture goes where the pages go
    mkdir -p "$work/$1/temas"
    cp "$2" "$work/$1/mc.cxl"
    cp "$top/examples/mapa.png" "$work/$1/$3_MapaConceptual.png"
    (cd "$work/$1" && printf '\n%s\n\n' "$3" | "$program" >/dev/null)
    targets+=("$work/$1")
}
convert example "$top/examples/mapa.cxl" SIGXX
convert living-beings "$top/tests/data/living-beings.cxl" SIG01
convert markup "$top/tests/data/markup.cxl" 'Tema & <1> #?%'
# Names whose bytes a browser would drop or read as more than a file name.
convert colon "$top/tests/data/living-beings.cxl" 'SIG:01 \x#?%'
convert spaces "$top/tests/data/living-beings.cxl" '  T2'
convert latin1 "$top/tests/data/living-beings.cxl" "$(printf 'Biolog\355a\t1')"
convert subfolder "$top/tests/data/living-beings.cxl" 'temas/T1'
# What a phone must hold: 60 levels of lists, and a word longer than the screen.
{
    echo '<cmap><map><concept id="c60" label="Nivel 60"/>'
    for i in $(seq 0 59); do echo "<concept id=\"c$i\" label=\"Nivel $i\"/><linking-phrase id=\"p$i\" label=\"lleva a\"/><connection from-id=\"c$i\" to-id=\"p$i\"/><connection from-id=\"p$i\" to-id=\"c$((i + 1))\"/>"; done
    echo '</map></cmap>'
} > "$work/deep.cxl"
convert deep "$work/deep.cxl" SIGXX
printf '<cmap><map><concept id="a" label="%s"/></map></cmap>' "$(printf 'x%.0s' $(seq 300))" > "$work/word.cxl"
convert long-word "$work/word.cxl" SIGXX
# Maps of the shared corpus, where it lies beside the repository: only they
# are left out without it.
corpus="$top/../shared/corpus/real"
[ -d "$corpus" ] || echo "NOTE: no shared corpus beside the repository (../shared/corpus): its maps are left out"
for map in tnl-expert bacterial-characteristics rpsdl concept-map-example link-types em-no-root; do
    [ ! -d "$corpus" ] || convert "$map" "$corpus/$map.cxl" SIGXX
done
cd "$here"
node check-pages.mjs "${targets[@]}"
