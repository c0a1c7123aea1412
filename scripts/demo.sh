#!/usr/bin/env bash
# Runs the tdr tool on the bundled example session.
set -euo pipefail
tdr="${1:-build/release/tdr}"
cd "$(dirname "$0")/.."
out="${TMPDIR:-/tmp}/tdr_demo"
mkdir -p "$out"

echo "== tdr check examples/demo_session.xml"
"$tdr" check examples/demo_session.xml
echo
echo "== tdr info examples/demo_session.xml"
"$tdr" info examples/demo_session.xml
echo
echo "== tdr export examples/demo_session.xml --format vcd -o $out/run1.vcd"
"$tdr" export examples/demo_session.xml --format vcd -o "$out/run1.vcd"
head -n 16 "$out/run1.vcd"
echo "..."
echo
echo "== tdr export examples/demo_session.xml --format svg -o $out/run1.svg"
"$tdr" export examples/demo_session.xml --format svg -o "$out/run1.svg"
echo "written: $out/run1.svg (open it in a browser)"
echo
echo "== tdr kfb list examples/demo_session.xml"
"$tdr" kfb list examples/demo_session.xml
echo
echo "== tdr normalize examples/demo_session.xml $out/demo_session.xml"
"$tdr" normalize examples/demo_session.xml "$out/demo_session.xml"
echo "written: $out/demo_session.xml"
echo
echo "== tdr replay examples/demo_batch_edit.script -o $out"
"$tdr" replay examples/demo_batch_edit.script -o "$out"
echo "written: $out/demo_session_batch_edited.xml"
echo
recorded=$(ls examples/recorded/*.log)
echo "== tdr replay $recorded --verify -o $out"
"$tdr" replay "$recorded" --verify -o "$out"
echo
echo "== tdr diff examples/demo_session.xml $out/demo_session.xml (equal: no output, exit 0)"
"$tdr" diff examples/demo_session.xml "$out/demo_session.xml"
echo
echo "== tdr export examples/demo_session.xml --format csv --samples 30:34 --signals valid,addr"
"$tdr" export examples/demo_session.xml --format csv --samples 30:34 --signals valid,addr
echo
echo "== tdr info --json examples/demo_session.xml > $out/demo_session.json"
"$tdr" info --json examples/demo_session.xml > "$out/demo_session.json"
head -n 12 "$out/demo_session.json"
echo "..."
echo
python_dir="$(dirname "$tdr")/python"
if [ -d "$python_dir" ]; then
  echo "== python3 examples/analyse_capture.py (the Python module)"
  # The system interpreter, whose numpy the module was built for.
  py=/usr/bin/python3; [ -x "$py" ] || py=python3
  PYTHONPATH="$python_dir" "$py" examples/analyse_capture.py -o "$out/capture.png"
fi
