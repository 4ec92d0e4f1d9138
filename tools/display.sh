# shellcheck shell=bash
# Sourced by tools/setup.sh: makes DISPLAY name a display that answers.
# The caller's own display is kept when xdpyinfo can talk to it. Otherwise a
# virtual one (Xvfb, 1280x800) is started on the first free number from :90;
# HORLIX_XVFB_PID is its pid (the caller ends it) and HORLIX_DISPLAY_NOTE
# says why it was needed. When none comes up, the calling script stops with
# the reason.
HORLIX_DISPLAY_NOTE=
if [ -z "${DISPLAY:-}" ]; then
  HORLIX_DISPLAY_NOTE="DISPLAY is not set"
elif ! display_why=$(xdpyinfo 2>&1 >/dev/null); then
  # Root without the X authority of the desktop's user ends here, for example.
  HORLIX_DISPLAY_NOTE="DISPLAY=$DISPLAY does not answer: $(echo "$display_why" | tr '\n' ' ' | sed 's/ *$//')"
fi
if [ -n "$HORLIX_DISPLAY_NOTE" ]; then
  if ! command -v Xvfb >/dev/null; then
    echo "error: no usable display ($HORLIX_DISPLAY_NOTE), and Xvfb is not installed (package xvfb)" >&2
    exit 1
  fi
  mkdir -p build
  xvfb_log=$(pwd)/build/xvfb.log
  virtual=
  for n in $(seq 90 120); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$xvfb_log" 2>&1 &
    HORLIX_XVFB_PID=$!
    for _ in $(seq 50); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then virtual=":$n"; break; fi
      kill -0 "$HORLIX_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    [ -z "$virtual" ] || break
    if kill -0 "$HORLIX_XVFB_PID" 2>/dev/null; then
      kill "$HORLIX_XVFB_PID" 2>/dev/null || true
      wait "$HORLIX_XVFB_PID" 2>/dev/null || true
      HORLIX_XVFB_PID=
      echo "error: no usable display ($HORLIX_DISPLAY_NOTE), and the virtual display Xvfb :$n" \
           "started but did not answer within 5 s (its output: $xvfb_log)" >&2
      exit 1
    fi
    # Xvfb ended at once: most often another one took the number meanwhile.
    wait "$HORLIX_XVFB_PID" 2>/dev/null || true
    HORLIX_XVFB_PID=
  done
  if [ -z "$virtual" ]; then
    echo "error: no usable display ($HORLIX_DISPLAY_NOTE), and no virtual display could be" \
         "started on :90 to :120 (the last Xvfb's output: $xvfb_log:" \
         "$(tail -n 3 "$xvfb_log" 2>/dev/null | tr '\n' ' '))" >&2
    exit 1
  fi
  export DISPLAY=$virtual
  echo "No usable display ($HORLIX_DISPLAY_NOTE): using the virtual display $DISPLAY (Xvfb, pid $HORLIX_XVFB_PID)."
fi
