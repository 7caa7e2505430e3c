#!/bin/sh
# Runs a test program with KX_SMALL_DISK naming a real tmpfs of 1 MB, mounted
# in a private mount namespace so that nothing outside the test sees it (as
# root a plain mount namespace; otherwise a user namespace as well). Exits 77,
# which the test registration reads as "skipped", when the system allows
# neither.
set -u
program="$1"
shift
base="${KX_TEST_TMP_ROOT:-${TMPDIR:-/tmp}}"
mkdir -p "$base"
point=$(mktemp -d "$base/small-disk.XXXXXX") || exit 1
if [ "$(id -u)" -eq 0 ]; then
  private="unshare -m --propagation private"
else
  private="unshare -r -m --propagation private"
fi
# shellcheck disable=SC2016
mount_disk='mount -t tmpfs -o size=1m,mode=0755 kx-small-disk "$1"'
if ! $private sh -c "$mount_disk" sh "$point" >/dev/null 2>&1; then
  rmdir "$point"
  echo "small disk: this system allows no private tmpfs mount; skipped"
  exit 77
fi
# shellcheck disable=SC2016
$private sh -c "$mount_disk"' || exit 1
  point="$1"; shift
  KX_SMALL_DISK="$point" exec "$@"' sh "$point" "$program" "$@"
status=$?
rmdir "$point" 2>/dev/null
exit $status
