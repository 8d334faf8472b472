#!/usr/bin/env bash
# Plants small faults one at a time in a scratch copy of the tree, rebuilds, runs the unit and
# protocol tests, and reports how many faults the tests caught. Slow (a rebuild and a test run per
# fault), so it is not part of scripts/test.sh.
#
#   scripts/mutants.sh [FAULTS_FILE]          # default scripts/mutants/faults.tsv
#
# FAULTS_FILE: one fault a line, tab-separated: name, file, text to find (must occur exactly once),
# replacement; lines starting with # are comments.
# Environment: MUTANTS_DIR (scratch directory, default build-mutants; kept between runs so that
# rebuilds are incremental), MUTANTS_REV (a commit to test instead of the working tree),
# MUTANT_TIMEOUT (seconds for one fault's test run, default 900), MUTANTS_JOBS (default 2),
# MUTANTS_ONLY (a regular expression: only faults whose name matches).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
faults=$(realpath "${1:-scripts/mutants/faults.tsv}")
work=$(realpath -m "${MUTANTS_DIR:-build-mutants}")
jobs=${MUTANTS_JOBS:-2}
limit=${MUTANT_TIMEOUT:-900}
src=$work/src
build=$work/build
mkdir -p "$src" "$build"

# The tree to test, synchronised into the scratch copy file by file: unchanged files keep their
# times, so only what differs is rebuilt. A changed file gets the time of the copy, not its own:
# an older time (a commit's, from git archive) could look older than an object built in the
# scratch tree since, and that object would be kept.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
if [[ -n ${MUTANTS_REV:-} ]]; then
    git archive "$MUTANTS_REV" | tar -x -C "$stage"
else
    git ls-files -z -co --exclude-standard | grep -zv '^build' | tar --null -T - -cf - | tar -xf - -C "$stage"
fi
(cd "$stage" && find . -type f) | while read -r f; do
    if ! cmp -s "$stage/$f" "$src/$f" 2>/dev/null; then
        mkdir -p "$(dirname "$src/$f")"
        cp "$stage/$f" "$src/$f"
    fi
done
(cd "$src" && find . -type f) | while read -r f; do [[ -e $stage/$f ]] || rm -f "$src/$f"; done

# The unit and protocol test programs of this build.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
source "$repo/scripts/lib/test_targets.sh"
mapfile -t targets < <(unit_protocol_targets "$src/tests" "$build")

build_and_test() {
    cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$work/build.log" 2>&1 || return 2
    # Programs not built here (the integration ones) show as "<name>_NOT_BUILT" entries.
    timeout "$limit" ctest --test-dir "$build" -LE integration -E '_NOT_BUILT$' --stop-on-failure -j "$jobs" --timeout 120 \
        >"$work/test.log" 2>&1 || return 1
    return 0
}

echo "== baseline (${#targets[@]} test programs: ${targets[*]})"
start=$SECONDS
if ! build_and_test; then
    echo "the unmutated tree does not build or pass; see $work/build.log and $work/test.log" >&2
    exit 2
fi
echo "   passes ($((SECONDS - start)) s)"

total=0 caught=0 broken=0
survivors=()
results=$work/results.txt
: >"$results"
while IFS=$'\t' read -r name file find replace; do
    [[ -z $name || $name == \#* ]] && continue
    [[ -n ${MUTANTS_ONLY:-} && ! $name =~ $MUTANTS_ONLY ]] && continue
    target=$src/$file
    if ! python3 - "$target" "$find" "$replace" <<'PY'; then
import sys
path, find, replace = sys.argv[1:]
text = open(path, encoding="utf-8").read()
if text.count(find) != 1:
    sys.exit(f"{path}: the text occurs {text.count(find)} times")
open(path, "w", encoding="utf-8").write(text.replace(find, replace))
PY
        echo "SKIPPED  $name (text not found exactly once in $file)" | tee -a "$results"
        continue
    fi
    total=$((total + 1))
    start=$SECONDS
    status=0
    build_and_test || status=$?
    cp -p "$stage/$file" "$target" && touch "$target"
    case $status in
        1) caught=$((caught + 1)); verdict="caught  " ;;
        2) broken=$((broken + 1)); verdict="NO BUILD"; survivors+=("$name (does not build)") ;;
        *) verdict="SURVIVED"; survivors+=("$name") ;;
    esac
    echo "$verdict $name ($((SECONDS - start)) s)" | tee -a "$results"
done <"$faults"

echo "== caught $caught/$total"
((${#survivors[@]})) && printf '   survived: %s\n' "${survivors[@]}"
echo "caught $caught/$total" >>"$results"
exit 0
