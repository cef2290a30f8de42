#!/usr/bin/env bash
# Runs the README's two commands in its order on a fresh minimal Debian 12, as
# a newcomer or a new CI runner has it: bootstraps one into a scratch folder,
# copies the committed tree (HEAD) in, and there as root runs ./run.sh until
# the meter's window shows, stops it with SIGINT (scripts/check-run-script.sh),
# then runs ./test.sh in the same build folder. Then, on the same system, a
# user with passwordless sudo runs ./test.sh again after one package is
# removed, so that scripts/setup.sh must install it through sudo. Needs root.
#   scripts/check-fresh-debian.sh [scratch parent folder, default build/]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
parent="${1:-$root/build}"

bootstrap_limit_s=900
test_limit_s=1500
user="builder"
# Listed in scripts/setup.sh, small, and nothing else installed needs it.
removed_package="wmctrl"

if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-debian: needs root for its namespaces and mounts (try: sudo $0)" >&2
  exit 1
fi
for tool in debootstrap unshare pivot_root mount timeout git tar; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-fresh-debian: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

# The host's own Debian 12 sources (main suite, updates, security), as one-line
# entries. Signed-by is left out: the chroot trusts the archive keyring.
host_sources() {
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        types = uris = suites = components = options = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^[ \t]*#/ || $i !~ /:/) continue
          key = tolower($i); sub(/[ \t]*:.*/, "", key)
          value = $i; sub(/^[^:]*:[ \t]*/, "", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "components") components = value
          else if (key == "enabled") enabled = tolower(value)
          else if (key == "check-valid-until") options = "[check-valid-until=" value "] "
        }
        if (enabled == "no" || (" " types " ") !~ / deb /) next
        nu = split(uris, u, /[ \t]+/); ns = split(suites, s, /[ \t]+/)
        for (a = 1; a <= nu; a++)
          for (b = 1; b <= ns; b++)
            if (s[b] ~ /^bookworm(-updates|-security)?$/) print "deb " options u[a] " " s[b] " " components
      }' /etc/apt/sources.list.d/debian.sources
  fi
  if [ -f /etc/apt/sources.list ]; then
    awk '{ sub(/#.*/, "") }
      $1 == "deb" {
        i = 2; options = ""
        if ($2 ~ /^\[/) {
          for (; i <= NF; i++) {
            option = $i; gsub(/[][]/, "", option)
            if (option ~ /^check-valid-until=/) options = "[" option "] "
            if ($i ~ /\]$/) break
          }
          i++
        }
        if ($(i + 1) !~ /^bookworm(-updates|-security)?$/) next
        line = "deb " options $i " " $(i + 1)
        for (j = i + 2; j <= NF; j++) line = line " " $j
        print line
      }' /etc/apt/sources.list
  fi
}

sources="$(host_sources)"
mirror="$(awk '$NF != "" { for (i = 2; i < NF; i++) if ($i ~ /^[a-z]+:\/\// && $(i + 1) == "bookworm") { print $i; exit } }' <<<"$sources")"
if [ -z "$mirror" ]; then
  echo "check-fresh-debian: no Debian 12 (bookworm) source in /etc/apt/sources.list.d/debian.sources" \
    "or /etc/apt/sources.list" >&2
  exit 1
fi

if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "check-fresh-debian: note: testing the committed tree (HEAD); uncommitted changes are left out"
fi

mkdir -p "$parent"
scratch="$(mktemp -d "$(realpath "$parent")/fresh-debian.XXXXXX")"
rootfs="$scratch/root"
running=""

mounts_under_scratch() {
  awk -v dir="$scratch/" 'index($5 "/", dir) == 1 { print $5 }' /proc/self/mountinfo
}

# Every mount of a run lives in that run's own mount namespace and every
# process in its own PID namespace, which both end with it; what is left is
# to end a run still going and remove the scratch folder.
cleanup() {
  local code=$?
  trap - EXIT INT TERM
  if [ -n "$running" ]; then
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
  fi
  if [ -n "$(mounts_under_scratch)" ]; then
    echo "check-fresh-debian: still mounted under $scratch, not removing it:" >&2
    mounts_under_scratch >&2
    exit 1
  fi
  rm -rf --one-file-system "$scratch"
  exit "$code"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$SECONDS
phase_started=$SECONDS
phase() {
  echo "== check-fresh-debian: $1 (after $((SECONDS - started)) s)"
}
took() {
  echo "== check-fresh-debian: $1 took $((SECONDS - phase_started)) s"
  phase_started=$SECONDS
}

# Runs a command bounded, in new mount and PID namespaces (killing it kills
# everything it started, and its mounts go with it), in the background so that
# Ctrl+C and TERM reach the trap at once: isolated SECONDS WHAT COMMAND...
isolated() {
  local limit="$1" what="$2" code=0
  shift 2
  timeout --kill-after=20 "$limit" unshare --mount --propagation private --pid --kill-child "$@" </dev/null &
  running=$!
  wait "$running" || code=$?
  running=""
  if [ "$code" -eq 124 ]; then
    echo "check-fresh-debian: gave up after $limit s: $what" >&2
  fi
  return "$code"
}

# Enters the new system as a machine of its own would have it: its root is the
# root of its mount namespace (pivot_root, not chroot, so that user namespaces
# work there as on a real machine), with /proc, the host's /dev and an own
# /dev/shm, so that nothing run there touches the host's shared memory.
# shellcheck disable=SC2016  # expanded by the bash that runs it
enter='set -e
rootfs="$1" who="$2" home="$3" command="$4"
mount --bind "$rootfs" "$rootfs"
mount -t proc proc "$rootfs/proc"
mount --bind /dev "$rootfs/dev"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$rootfs/dev/shm"
cd "$rootfs"
mkdir -p .host-root
pivot_root . .host-root
umount -l /.host-root
rmdir /.host-root
exec chroot --userspec="$who:$who" / /usr/bin/env -i HOME="$home" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$command"'

# Runs a command line in the new system with a clean environment:
#   in_new_system SECONDS USER COMMAND
in_new_system() {
  local home="/home/$2"
  [ "$2" = root ] && home=/root
  isolated "$1" "$3" bash -c "$enter" enter "$rootfs" "$2" "$home" "$3"
}

phase "bootstrapping Debian 12 from $mirror into $rootfs"
if ! isolated "$bootstrap_limit_s" debootstrap debootstrap --variant=minbase bookworm "$rootfs" "$mirror" \
  >"$scratch/debootstrap.log" 2>&1; then
  tail -n 30 "$scratch/debootstrap.log" >&2
  echo "check-fresh-debian: debootstrap failed" >&2
  exit 1
fi
printf '%s\n' "$sources" >"$rootfs/etc/apt/sources.list"
git -C "$root" archive --format=tar --prefix=project/ HEAD | tar -x -C "$rootfs"
took "bootstrap"

phase "./run.sh, stopped once the meter runs, then ./test.sh, as root"
in_new_system "$test_limit_s" root 'cd /project && scripts/check-run-script.sh && ./test.sh'
took "./run.sh and ./test.sh as root"

phase "./test.sh as a user with passwordless sudo, $removed_package removed"
# The preferences root's meter left in the common folder would be the user's
# too, read-only: the user starts as on a machine where root never ran it.
in_new_system 600 root "apt-get install -y --no-install-recommends sudo >/dev/null &&
  useradd --create-home --shell /bin/bash $user &&
  echo '$user ALL=(ALL:ALL) NOPASSWD: ALL' >/etc/sudoers.d/$user && chmod 0440 /etc/sudoers.d/$user &&
  apt-get purge -y $removed_package >/dev/null &&
  rm -rf /opt/Tamvo &&
  chown -R $user:$user /project"
in_new_system "$test_limit_s" "$user" "cd /project && ./test.sh &&
  if ! dpkg-query -W -f='\${Status}' $removed_package | grep -q 'install ok installed'; then
    echo 'check-fresh-debian: scripts/setup.sh did not install $removed_package for the user' >&2
    exit 1
  fi"
took "./test.sh as a user"

echo "== check-fresh-debian: passed in $((SECONDS - started)) s"
