#!/usr/bin/env bash
# A local print queue whose jobs land in a file, for tests that print for real; CTest runs
# it before and after those tests.
#   cups-test-queue.sh add     starts the CUPS scheduler when it is not running (no systemd
#                              needed), then adds the queue unless it is already there
#   cups-test-queue.sh remove  removes the queue and its output file
# Both are safe to run any number of times. They need root, and exit with 77 (skipped)
# without it.
#
# Environment: DA1011_TEST_QUEUE (queue name), DA1011_TEST_QUEUE_DIR (output folder); each
# finished job is written to <folder>/<queue name>.pdf, the last job replacing the one before.
set -euo pipefail

queue=${DA1011_TEST_QUEUE:-DA1011-test}
# Outside /tmp: a scheduler started with a private /tmp would write somewhere else.
out_dir=${DA1011_TEST_QUEUE_DIR:-/var/spool/da1011-print-test}
output="$out_dir/$queue.pdf"
files_conf=/etc/cups/cups-files.conf

fail() { echo "cups-test-queue: $*" >&2; exit 1; }

if [[ $(id -u) -ne 0 ]]; then
  echo "cups-test-queue: skipped: only root may change the scheduler's configuration" >&2
  exit 77
fi
case ${1:-add} in
  add) ;;
  remove)
    lpstat -r 2>/dev/null | grep -q 'is running' && lpadmin -x "$queue" 2>/dev/null || true
    rm -f "$output"
    echo "removed $queue"
    exit 0 ;;
  *) fail "usage: $0 add|remove" ;;
esac
for tool in cupsd lpadmin lpstat cupsenable cupsaccept; do
  command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh test"
done

scheduler_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }
# A live scheduler process; a container's first process may leave stopped ones as zombies.
cupsd_pid() { ps -C cupsd -o pid=,stat= | awk '$2 !~ /^Z/ { print $1; exit }'; }

# The scheduler refuses file: devices unless told otherwise, and reads this only at start.
restart_needed=no
if ! grep -Eq '^[[:space:]]*FileDevice[[:space:]]+Yes' "$files_conf" 2>/dev/null; then
  sed -i '/^[[:space:]]*FileDevice[[:space:]]/d' "$files_conf" 2>/dev/null || true
  echo 'FileDevice Yes' >>"$files_conf"
  restart_needed=yes
fi

if scheduler_running && [[ $restart_needed == yes ]]; then
  # Only a scheduler this script can stop (no service manager) is restarted.
  pid=$(cupsd_pid)
  [[ -n $pid ]] || fail "the scheduler is running elsewhere and must be restarted to allow file devices"
  kill "$pid"
  for _ in $(seq 100); do [[ -z $(cupsd_pid) ]] && break; sleep 0.1; done
fi

if ! scheduler_running; then
  mkdir -p /run/cups /var/spool/cups/tmp /var/log/cups
  # A stale pid file or socket from a container snapshot would stop it from starting.
  rm -f /run/cups/cupsd.pid
  [[ -S /run/cups/cups.sock && -z $(cupsd_pid) ]] && rm -f /run/cups/cups.sock
  # The daemon must not keep the caller's pipes open: a test runner waiting for the
  # output to end would wait for the scheduler to exit.
  cupsd </dev/null >/dev/null 2>&1 || fail "cupsd did not start; see /var/log/cups/error_log"
  for _ in $(seq 100); do scheduler_running && break; sleep 0.1; done
  scheduler_running || fail "cupsd started but does not answer; see /var/log/cups/error_log"
fi

mkdir -p "$out_dir"
chmod 0755 "$out_dir"

# A queue that keeps PDF as PDF: the generic PDF driver still runs the page filter, so
# copies, collation and page selection are applied the way a real printer would get them.
ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
# lpstat shows the device without its scheme.
if lpstat -v "$queue" 2>/dev/null | grep -q "//$output\$"; then
  :
elif [[ -f $ppd ]]; then
  # lpadmin's warning that drivers are deprecated is expected here and only noise.
  lpadmin -p "$queue" -v "file://$output" -P "$ppd" -D "DA1011 test queue" -E \
    2> >(grep -v 'deprecated' >&2)
else
  fail "$ppd is missing; install cups-filters"
fi
cupsenable "$queue"
cupsaccept "$queue"

echo "$queue ready; its jobs land in $output"
