# Runs the steps of a script as one short line each, with its duration; what
# the commands print goes to a log file. A failed step shows its first error
# lines and the log's path, and ends the script with the command's status.
#
#   source scripts/lib/steps.sh
#   step LOG "Building Ombrix…" cmake --build build
#   step_build LOG "Building Ombrix…" cmake --build build   # also lists our warnings

steps_started=$SECONDS

steps_clock() {  # seconds -> "1 min 05 s" or "12 s"
  local s=$1
  if [ "$s" -ge 60 ]; then printf '%d min %02d s' $((s / 60)) $((s % 60)); else printf '%d s' "$s"; fi
}

# The first lines that tell what went wrong: compiler and linker errors,
# failed tests, or else the end of the log.
steps_first_errors() {
  local log=$1
  if grep -qE 'error:|Error [0-9]+|undefined reference|FAILED|Failed|\*\*\*' "$log"; then
    grep -nE -A6 'error:|undefined reference|FAILED|Failed|\*\*\*' "$log" | head -n 60
  else
    tail -n 40 "$log"
  fi
}

step() {  # log, title, command...
  local log=$1 title=$2; shift 2
  mkdir -p "$(dirname "$log")"
  local begun=$SECONDS
  printf '%s ' "$title"
  if "$@" >"$log" 2>&1; then
    printf 'done (%s)\n' "$(steps_clock $((SECONDS - begun)))"
  else
    local status=$?
    printf 'failed after %s\n\n' "$(steps_clock $((SECONDS - begun)))"
    steps_first_errors "$log"
    printf '\nThe whole output is in %s\n' "$log"
    exit "$status"
  fi
}

# A build step: afterwards any warning from our own sources is shown, since
# our code builds without them.
step_build() {
  local log=$1
  step "$@"
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  if grep -qE "^$root/[^:]*:[0-9]+:[0-9]+: warning:" "$log"; then
    echo "Warnings in our code (see $log):"
    grep -E -A3 "^$root/[^:]*:[0-9]+:[0-9]+: warning:" "$log" | head -n 40
  fi
}

steps_total() {
  printf 'Finished in %s.\n' "$(steps_clock $((SECONDS - steps_started)))"
}
