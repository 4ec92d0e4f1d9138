#!/usr/bin/env bash
# Runs one Windows program under Wine in the tests' prefix (env.sh) and passes
# its exit status back. Usage: run.sh PROGRAM.exe [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"
exec wine "$@"
