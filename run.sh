#!/usr/bin/env bash
# Installs what is missing, builds, and shows the current time of the three
# default clocks (Local, Perth, UTC) as the zone engine computes them.
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
. tools/setup.sh
[ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true

# The computer's own zone as a rule string: the last line of its zone file.
local_rule=$(tail -n 1 /etc/localtime 2>/dev/null | tr -d '\r' || true)
case "$local_rule" in *[0-9]*) ;; *) local_rule="UTC0" ;; esac
now=$(date +%s)
printf 'Local  %s\n' "$(build/native/bin/horlix-zonetime "$local_rule" "$now")"
printf 'Perth  %s\n' "$(build/native/bin/horlix-zonetime "AWST-8" "$now")"
printf 'UTC    %s\n' "$(build/native/bin/horlix-zonetime "GMT0" "$now")"
