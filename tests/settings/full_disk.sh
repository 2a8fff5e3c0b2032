#!/bin/sh
# full_disk.sh setup|cleanup WINE_RUN PREFIX DIR DRIVE
# setup: mounts a 256 KiB tmpfs at DIR and maps it as DRIVE (such as t:) of the Wine prefix PREFIX,
# with the marker file tavrelo-full-disk in it. Where mounting is not allowed it says so and still
# succeeds: the test that needs the disk then skips. cleanup: undoes exactly that.
set -u
action=$1 wine_run=$2 prefix=$3 dir=$4 drive=$5
link="$prefix/dosdevices/$drive"

cleanup() {
  if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir" ]; then rm -f "$link"; fi
  if grep -qs " $dir tmpfs " /proc/mounts; then umount "$dir"; fi
  if [ -d "$dir" ]; then rmdir "$dir" 2>/dev/null || true; fi
}

case "$action" in
  setup)
    cleanup
    mkdir -p "$dir"
    if ! mount -t tmpfs -o size=256k,nr_inodes=64 tavrelo-full-disk "$dir" 2>/dev/null; then
      echo "full_disk.sh: cannot mount a tmpfs here (it needs root); the full-disk test will be skipped"
      rmdir "$dir" 2>/dev/null || true
      exit 0
    fi
    # The prefix is made on first use; the drive is mapped into it afterwards.
    [ -d "$prefix/dosdevices" ] || "$wine_run" cmd /c exit >/dev/null 2>&1 || true
    if [ -e "$link" ] || [ -L "$link" ]; then
      echo "full_disk.sh: $link is taken; the full-disk test will be skipped"
      cleanup
      exit 0
    fi
    ln -s "$dir" "$link"
    : >"$dir/tavrelo-full-disk"
    echo "full_disk.sh: a 256 KiB tmpfs at $dir is drive $drive"
    ;;
  cleanup)
    cleanup
    ;;
  *)
    echo "usage: $0 setup|cleanup WINE_RUN PREFIX DIR DRIVE" >&2
    exit 2
    ;;
esac
