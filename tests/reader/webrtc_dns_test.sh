#!/usr/bin/env bash
# Runs the host-name check of the WebRTC page in a network namespace of its own, with no way
# out (loopback and a virtual pair whose both ends are inside), and a resolver configuration
# that sends every lookup to 127.0.0.1:53, where the test listens. Skipped (77) where namespaces cannot be made.
#   webrtc_dns_test.sh TEST_EXECUTABLE
set -euo pipefail
test_program=$1
if ! unshare -n -m true 2>/dev/null; then
  echo "SKIP: no network namespace can be made here (needs root or user namespaces)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "nameserver 127.0.0.1" >"$work/resolv.conf"
exec unshare -n -m bash -c '
  set -e
  ip link set lo up
  # A network for WebRTC to gather on, and for lookups to be made at all (AI_ADDRCONFIG):
  # a pair of virtual ends that both stay inside the namespace, so it leads nowhere.
  ip link add da1011-a type veth peer name da1011-b
  ip addr add 10.253.0.1/24 dev da1011-a
  ip link set da1011-a up
  ip link set da1011-b up
  mount --bind "$1" /etc/resolv.conf
  DA1011_RESOLVER_ON_LOOPBACK=1 exec "$2" noHostNameIsLookedUp
' bash "$work/resolv.conf" "$test_program"
