#!/bin/sh
# Runs a test program as the unprivileged user nobody. Root reads a file of mode 000 and
# lists any folder, so as root the cases about permissions skip; here they run.
# Exits 77 (skipped) when not root: then those cases already ran in their own program.
if [ "$(id -u)" != 0 ]; then
    echo "skipped: not root; the permission cases ran with the rest of their program"
    exit 77
fi
if ! command -v setpriv >/dev/null; then
    echo "skipped: no setpriv to run as another user"
    exit 77
fi
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR=/tmp "$@"; }
# A build under a folder only root may enter (/root) cannot be run by another user.
if ! as_nobody test -x "$1"; then
    echo "skipped: another user cannot reach $1"
    exit 77
fi
as_nobody "$@"
