#!/usr/bin/env bash
# Tries the README's run command and then its test command on a fresh Debian 12 machine
# of the kind the project is built on: a tree made by debootstrap (Debian's package of
# that name) with only the packages of group "fresh" of tools/packages, entered with
# chroot, in a network namespace whose only way out is apt's proxy to deb.debian.org
# (registry_proxy.py). Inside, a git clone of this repository's COMMIT (default HEAD)
# runs the two commands as the README spells them, with no other step. As root:
#
#   tools/fresh-machine/check.sh [--tree FOLDER] [COMMIT]    (default: /tmp/vudcheck-fresh)
#
# The first run makes FOLDER/pristine (some minutes); each run works in a copy of it,
# FOLDER/tree, and ends with the status of the two commands.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repository=$(git -C "$here" rev-parse --show-toplevel)
# The repository's own git folder (a worktree's is elsewhere), which the tree clones from.
git_folder=$(cd "$here" && realpath "$(git rev-parse --git-common-dir)")
folder=/tmp/vudcheck-fresh revision=HEAD
while (($#)); do
  case $1 in
    --tree) folder=$(realpath -m "$2"); shift 2 ;;
    *) revision=$1; shift ;;
  esac
done
commit=$(git -C "$repository" rev-parse --verify "$revision^{commit}")
((EUID == 0)) || { echo "$0: debootstrap, chroot and unshare need root" >&2; exit 2; }

mkdir -p "$folder"
if [[ ! -e $folder/pristine/etc/debian_version ]]; then
  rm -rf "$folder/pristine"
  "$repository/tools/setup" fresh-machine
  debootstrap --variant=minbase --include="$("$repository/tools/setup" --list fresh | paste -sd,)" \
    bookworm "$folder/pristine" http://deb.debian.org/debian
fi
tree=$folder/tree
rm -rf "$tree"
cp -a "$folder/pristine" "$tree"
mkdir -p "$tree/mnt/repository" "$tree/run/registry"
cleanup() {
  kill "${proxy:-}" 2>/dev/null || true
  umount -R "$tree/dev" 2>/dev/null || true
  umount "$tree/proc" "$tree/mnt/repository" 2>/dev/null || true
}
trap cleanup EXIT
mount --bind -o ro "$git_folder" "$tree/mnt/repository"
mount -t proc proc "$tree/proc"
mount --rbind /dev "$tree/dev"
echo 'Acquire::http::Proxy "http://127.0.0.1:3142";' >"$tree/etc/apt/apt.conf.d/01registry-only"
python3 "$here/registry_proxy.py" outer "$tree/run/registry/socket" 2>"$folder/registry.log" &
proxy=$!

cat >"$tree/root/inside.sh" <<'INSIDE'
set -u
cd /root
git clone --quiet --no-checkout /mnt/repository vudcheck && cd vudcheck &&
  git -c advice.detachedHead=false checkout --quiet "$1" || exit 2
echo "== $(git log --oneline -1)"
echo "== -dev packages installed: $(dpkg-query -W -f='${Package}\n' | grep -E -- '-dev$' | tr '\n' ' ')"
run=$(grep -m1 -e '--target sample-run' README.md)
test=$(grep -m1 -e 'ctest --test-dir build' README.md)
echo "== the README's run command: $run"
bash -c "$run"; run_status=$?
echo "== the README's test command: $test"
bash -c "$test"; test_status=$?
echo "== run command: status $run_status; test command: status $test_status"
((run_status == 0 && test_status == 0))
INSIDE
unshare --net bash -c '
  ip link set lo up
  python3 "$1/registry_proxy.py" inner 3142 "$2/run/registry/socket" &
  sleep 1
  chroot "$2" env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash /root/inside.sh "$3"
  status=$?
  kill %1
  exit $status' bash "$here" "$tree" "$commit"
