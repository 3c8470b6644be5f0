# A disk that stops answering on demand, for the tests of the run log: a FUSE file system
# (stallfs) over a backing folder, in a mount namespace of the test's own, so that it goes with
# the test whatever happens. Source it as the first thing of the test script, with the script's
# own arguments; STALLFS is the built stallfs. Mounting needs root and FUSE: without them the
# test is skipped (exit 77).
#
#   stall_disk / answer_again     the disk's writes and syncs wait, or go on
#   mount_stalling_disk FOLDER    mounts it at FOLDER/disk over FOLDER/backing

if [ -z "${VT_IN_MOUNT_NAMESPACE:-}" ]; then
    if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/fuse ] \
        || ! unshare -m --propagation private true 2>/dev/null; then
        echo "SKIP: a FUSE file system needs root and /dev/fuse"
        exit 77
    fi
    VT_IN_MOUNT_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
fi

stall_file=""
stall_pid=""

stall_disk() { : >"$stall_file"; }
answer_again() { rm -f "$stall_file"; }

# Mounts the stalling file system at $1/disk over $1/backing with the built stallfs $2; the
# stall file is $1/stall. Skips the test when FUSE will not mount.
mount_stalling_disk() {
    local folder=$1 stallfs=$2 n
    stall_file="$folder/stall"
    mkdir -p "$folder/backing" "$folder/disk"
    "$stallfs" "$folder/backing" "$folder/disk" "$stall_file" >"$folder/stallfs.log" 2>&1 &
    stall_pid=$!
    for n in $(seq 200); do
        grep -q " $folder/disk fuse" /proc/mounts && return 0
        kill -0 "$stall_pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "SKIP: FUSE would not mount: $(cat "$folder/stallfs.log")"
    exit 77
}

# Lets the disk answer and unmounts it; for the test's clean-up.
unmount_stalling_disk() {
    [ -n "$stall_file" ] && rm -f "$stall_file"
    [ -n "$stall_pid" ] && { fusermount3 -u -z "$(dirname "$stall_file")/disk" 2>/dev/null \
        || umount -l "$(dirname "$stall_file")/disk" 2>/dev/null || true; }
    [ -n "$stall_pid" ] && kill "$stall_pid" 2>/dev/null || true
    stall_pid=""
}
