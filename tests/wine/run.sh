#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's own prefix and passes
# its exit status back. Usage: run.sh PROGRAM.exe [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"
exec wine "$@"
