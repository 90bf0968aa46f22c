#!/usr/bin/env bash
# Runs the README's two commands as a new user would on a fresh Debian 12 machine: a minimal
# bookworm root made by debootstrap, this repository's committed HEAD cloned into it, and
# scripts/run_demo.sh then scripts/run_tests.sh run inside it by chroot, as root, with /proc, /sys
# and /dev bound. Nothing else is installed in the root: the two commands install what they need.
#   scripts/fresh_debian_check.sh [ROOT]     as root; ROOT defaults to build/fresh-debian
# Logs go to ROOT.demo.log and ROOT.tests.log beside the root; the exit status is the first
# command's that failed. Set VARNEL_FRESH_MIRROR for another Debian mirror, and
# VARNEL_FRESH_KEEP=1 to reuse an existing root (its packages then are no longer fresh).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

[[ $(id -u) -eq 0 ]] || { echo "fresh_debian_check: run as root (debootstrap, chroot, mount)" >&2; exit 2; }
root=${1:-build/fresh-debian}
mkdir -p "$(dirname "$root")"
root=$(cd "$(dirname "$root")" && pwd)/$(basename "$root")
mirror=${VARNEL_FRESH_MIRROR:-http://deb.debian.org/debian}

if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >&2 ||
    { apt-get update -q >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >&2; }
fi

mounts=()
cleanup() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

if [[ ${VARNEL_FRESH_KEEP:-0} != 1 || ! -x $root/bin/bash ]]; then
  if [[ -e $root ]]; then
    # A bind mount left by an interrupted run must go before the tree does.
    grep -F " $root/" /proc/mounts | cut -d' ' -f2 | sort -r | xargs -r -n1 umount -l
    rm -rf --one-file-system "$root"
  fi
  echo "fresh_debian_check: debootstrap --variant=minbase bookworm $root" >&2
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -20 "$root.debootstrap.log" >&2; exit 1; }
  # A Debian 12 installation's sources: the release, its updates and security.
  cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
SOURCES
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The machine's own certificate authorities (a TLS-inspecting proxy's, say), which its clients
# trust: npm reaches its registry through them. Debian's ca-certificates takes them into its
# bundle when it is installed (by the README's commands), or here when it already is.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  if [[ -x $root/usr/sbin/update-ca-certificates ]]; then
    chroot "$root" /usr/sbin/update-ca-certificates >/dev/null
  fi
fi

# The committed tree, as `git clone` gives it; git itself is the host's, since a minimal root has
# none and a user's clone is made before the README's commands run.
rm -rf "$root/srv/varnel"
git clone -q --no-hardlinks "$repo" "$root/srv/varnel"

for m in proc sys dev dev/pts dev/shm; do
  mkdir -p "$root/$m"
  mount --bind "/$m" "$root/$m"
  mounts+=("$root/$m")
done

run() {
  local name=$1 script=$2 start=$SECONDS status=0
  echo "fresh_debian_check: $script (log: $root.$name.log)" >&2
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb /bin/bash -c "cd /srv/varnel && bash $script" >"$root.$name.log" 2>&1 ||
    status=$?
  echo "fresh_debian_check: $script exited $status after $((SECONDS - start)) s" >&2
  [[ $status -eq 0 ]] || { tail -30 "$root.$name.log" >&2; exit "$status"; }
}
run demo scripts/run_demo.sh
run tests scripts/run_tests.sh
echo "fresh_debian_check: both commands passed in a fresh Debian 12 root at $(git -C "$root/srv/varnel" rev-parse --short HEAD)" >&2
