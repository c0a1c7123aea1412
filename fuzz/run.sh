#!/usr/bin/env bash
# Runs each fuzz target in turn for FUZZ_SECONDS (default 60) on one core.
# Usage: fuzz/run.sh BUILD_DIR [TARGET...]  (all targets when none is named)
# Corpora grow in BUILD_DIR/corpus/<target>; crashers, timeouts and
# out-of-memory inputs land in BUILD_DIR/artifacts/<target>/ — minimise them,
# fix the library and keep each in fuzz/regressions/<target>/.
# Extra libFuzzer flags can be passed in FUZZ_FLAGS.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:?usage: fuzz/run.sh BUILD_DIR [TARGET...]}"
shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(session condition legacy basic tci enum replay edit)
seconds="${FUZZ_SECONDS:-60}"
seeds="$build/seeds"
[ -d "$seeds" ] || bash "$here/fuzz/make_seeds.sh" "$seeds" >/dev/null

status=0
for t in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz: no executable $exe" >&2
    status=1
    continue
  fi
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$corpus" "$artifacts" "$here/fuzz/regressions/$t"
  dict=()
  [ -f "$seeds/$t.dict" ] && dict=(-dict="$seeds/$t.dict")
  max_len=4096
  case "$t" in session | basic | legacy) max_len=16384 ;; esac
  echo "fuzz: $t for ${seconds}s"
  # shellcheck disable=SC2086
  "$exe" "$corpus" "$seeds/$t" "$here/fuzz/regressions/$t" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -max_len="$max_len" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" ${FUZZ_FLAGS:-} > "$build/fuzz_$t.log" 2>&1
  rc=$?
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|SUMMARY|^#[0-9]+ +DONE" \
    "$build/fuzz_$t.log" | sed "s/^/  $t: /"
  if [ $rc -ne 0 ]; then
    echo "fuzz: $t stopped with status $rc; see $build/fuzz_$t.log and $artifacts/" >&2
    status=1
  fi
done
exit $status
