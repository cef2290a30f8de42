#!/usr/bin/env bash
# Runs the README's test command on a fresh minimal Debian 12, as a newcomer or
# a new CI runner has it: bootstraps one in a chroot, copies the committed tree
# (HEAD) in and runs ./test.sh there as root. Then, in the same chroot, a user
# with passwordless sudo runs ./test.sh again after one package is removed, so
# that scripts/setup.sh must install it through sudo. Needs root.
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
  echo "check-fresh-debian: needs root for chroot and mounts (try: sudo $0)" >&2
  exit 1
fi
for tool in debootstrap chroot mount umount timeout git tar; do
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
mounts=()
running=""

# Ends every process whose root is the chroot, by id.
end_chroot_processes() {
  local signal pid found
  for signal in TERM KILL; do
    found=0
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$rootfs" ]; then
        kill -s "$signal" "$pid" 2>/dev/null && found=1
      fi
    done
    [ "$found" -eq 0 ] && return 0
    sleep 2
  done
}

mounts_under_scratch() {
  awk -v dir="$scratch/" 'index($5 "/", dir) == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

cleanup() {
  local code=$? m
  trap - EXIT INT TERM
  if [ -n "$running" ]; then
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
  fi
  end_chroot_processes
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  # Anything else mounted inside the chroot, deepest first.
  for m in $(mounts_under_scratch); do
    umount -l "$m" || true
  done
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

# Runs a command line in the chroot with a clean environment, bounded, in the
# background so that Ctrl+C and TERM reach the trap at once:
#   in_chroot SECONDS USER COMMAND
in_chroot() {
  local limit="$1" who="$2" command="$3" home="/root" as_user=() code=0
  if [ "$who" != root ]; then
    home="/home/$who"
    as_user=(--userspec="$who:$who")
  fi
  timeout --kill-after=20 "$limit" chroot "${as_user[@]}" "$rootfs" /usr/bin/env -i HOME="$home" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$command" </dev/null &
  running=$!
  wait "$running" || code=$?
  running=""
  if [ "$code" -eq 124 ]; then
    echo "check-fresh-debian: gave up after $limit s: $command" >&2
  fi
  return "$code"
}

phase "bootstrapping Debian 12 from $mirror into $rootfs"
timeout --kill-after=20 "$bootstrap_limit_s" debootstrap --variant=minbase bookworm "$rootfs" "$mirror" \
  >"$scratch/debootstrap.log" 2>&1 </dev/null &
running=$!
code=0
wait "$running" || code=$?
running=""
if [ "$code" -ne 0 ]; then
  tail -n 30 "$scratch/debootstrap.log" >&2
  echo "check-fresh-debian: debootstrap failed ($code)" >&2
  exit 1
fi
printf '%s\n' "$sources" >"$rootfs/etc/apt/sources.list"
took "bootstrap"

# The chroot's root is a mount point of its own, so that a test there can make
# its mounts private; its /dev/shm is its own too, so nothing run there
# touches the host's shared memory.
mount_private() {
  mount "$@"
  mounts+=("${!#}")
  mount --make-private "${!#}"
}
mount_private --bind "$rootfs" "$rootfs"
mount_private -t proc proc "$rootfs/proc"
mount_private --bind /dev "$rootfs/dev"
mount_private -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$rootfs/dev/shm"

git -C "$root" archive --format=tar --prefix=project/ HEAD | tar -x -C "$rootfs"

phase "./test.sh as root"
in_chroot "$test_limit_s" root 'cd /project && ./test.sh'
took "./test.sh as root"

phase "./test.sh as a user with passwordless sudo, $removed_package removed"
in_chroot 600 root "apt-get install -y --no-install-recommends sudo >/dev/null &&
  useradd --create-home --shell /bin/bash $user &&
  echo '$user ALL=(ALL:ALL) NOPASSWD: ALL' >/etc/sudoers.d/$user && chmod 0440 /etc/sudoers.d/$user &&
  apt-get purge -y $removed_package >/dev/null &&
  chown -R $user:$user /project"
in_chroot "$test_limit_s" "$user" "cd /project && ./test.sh"
in_chroot 60 root "dpkg-query -W -f='\${Status}\n' $removed_package | grep -q 'install ok installed'" || {
  echo "check-fresh-debian: scripts/setup.sh did not install $removed_package for the user" >&2
  exit 1
}
took "./test.sh as a user"

echo "== check-fresh-debian: passed in $((SECONDS - started)) s"
