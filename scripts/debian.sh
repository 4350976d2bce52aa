# The Debian releases the program is built, tested and packaged on, and everything that differs
# between them: sourced by setup, package, check-install and in-debian. A new release is added
# here and nowhere else.

# The releases, oldest first; the newest is taken for a system newer than all of them.
NUK_RELEASES=(12 13)

# The code name debootstrap and apt use for a release number.
nuk_codename() {
    case "$1" in
    12) echo bookworm ;;
    13) echo trixie ;;
    *)
        echo "unknown Debian release '$1' (known: ${NUK_RELEASES[*]})" >&2
        return 1
        ;;
    esac
}

# The release this system runs: 12 or 13. A testing or unstable system (no VERSION_ID) and a
# release newer than the known ones build as the newest known one.
nuk_host_release() {
    local id="" r
    if [ -r /etc/os-release ]; then
        id="$(. /etc/os-release && echo "${VERSION_ID:-}")"
    fi
    id="${id%%.*}"
    for r in "${NUK_RELEASES[@]}"; do
        [ "$id" = "$r" ] && { echo "$r"; return; }
    done
    if [[ "$id" =~ ^[0-9]+$ ]] && ((id < NUK_RELEASES[0])); then
        echo "Debian $id is older than the oldest release the program builds on (${NUK_RELEASES[0]})" >&2
        return 1
    fi
    echo "${NUK_RELEASES[-1]}"
}

# Build packages whose names differ between releases. clang's fuzzing runtime carries the
# header the fuzz replay programs include; its package is named after the release's LLVM.
nuk_release_packages() {
    case "$1" in
    12) echo libclang-rt-14-dev ;;
    13) echo libclang-rt-19-dev ;;
    esac
}

# Where files are kept between runs on this machine (the releases' base systems for
# debootstrap chroots, apt's downloaded packages).
nuk_cache_dir() {
    echo "${NUK_CACHE:-/var/cache/nuk-kondensator}"
}

NUK_MIRROR="${NUK_MIRROR:-http://deb.debian.org/debian}"

# Makes DIR a fresh minimal Debian RELEASE (debootstrap minbase) from a base kept as a tarball in
# the cache (the first call makes the tarball), mounts what it needs (nuk_chroot_mount) and reads
# the mirror's package lists. The caller unmounts (nuk_chroot_unmount DIR, best in a trap).
nuk_chroot_fresh() {
    local release="$1" dir="$2" codename cache tarball
    codename="$(nuk_codename "$release")" || return 1
    cache="$(nuk_cache_dir)"
    tarball="$cache/debian-$codename-minbase.tar.gz"
    mkdir -p "$cache"
    if [ ! -s "$tarball" ]; then
        if ! command -v debootstrap >/dev/null; then
            export DEBIAN_FRONTEND=noninteractive
            apt-get install -y --no-install-recommends debootstrap ||
                { apt-get update -q && apt-get install -y --no-install-recommends debootstrap; }
        fi
        local base="$cache/debian-$codename-minbase.tmp"
        rm -rf "$base"
        echo "debian: debootstrap $codename from $NUK_MIRROR (kept as $tarball)"
        debootstrap --variant=minbase --include=ca-certificates "$codename" "$base" "$NUK_MIRROR"
        tar -C "$base" -czf "$tarball.tmp" .
        mv "$tarball.tmp" "$tarball"
        rm -rf "$base"
    fi
    nuk_chroot_unmount "$dir"
    rm -rf --one-file-system "$dir"
    mkdir -p "$dir"
    tar -C "$dir" -xzf "$tarball"
    nuk_chroot_mount "$dir" "$release"
    # The base's package lists may be older than the mirror's packages.
    nuk_chroot_run "$dir" apt-get update -q >/dev/null
}

NUK_CHROOT_MOUNTS=()
# What a system inside the chroot needs: processes, devices, pseudo-terminals of its own, shared
# memory (the browser engine), the host's name server, and apt's downloads kept in the cache.
nuk_chroot_mount() {
    local dir="$1" release="$2" archives
    archives="$(nuk_cache_dir)/apt-$(nuk_codename "$release")"
    mkdir -p "$archives/partial"
    _nuk_mount -t proc proc "$dir/proc"
    _nuk_mount -t sysfs sys "$dir/sys"
    _nuk_mount --bind /dev "$dir/dev"
    # What is mounted below the chroot's /dev stays there (on a system whose mounts are shared,
    # it would otherwise appear in the host's /dev as well).
    mount --make-rslave "$dir/dev"
    _nuk_mount -t tmpfs -o mode=1777 shm "$dir/dev/shm"
    _nuk_mount -t devpts -o newinstance,ptmxmode=0666 devpts "$dir/dev/pts"
    _nuk_mount --bind "$dir/dev/pts/ptmx" "$dir/dev/ptmx"
    _nuk_mount --bind "$archives" "$dir/var/cache/apt/archives"
    cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
    # apt keeps what it downloaded, for the next run.
    echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"$dir/etc/apt/apt.conf.d/01keep-debs"
}
_nuk_mount() {
    mount "$@"
    NUK_CHROOT_MOUNTS+=("${*: -1}")
}

# Unmounts whatever nuk_chroot_mount mounted, and anything else still mounted below DIR.
nuk_chroot_unmount() {
    local dir="${1:-}" i m
    for ((i = ${#NUK_CHROOT_MOUNTS[@]} - 1; i >= 0; i--)); do
        umount -l "${NUK_CHROOT_MOUNTS[i]}" 2>/dev/null || true
    done
    NUK_CHROOT_MOUNTS=()
    if [ -n "$dir" ] && [ -d "$dir" ]; then
        dir="$(cd "$dir" && pwd -P)"
        awk -v d="$dir/" 'index($2, d) == 1 { print $2 }' /proc/mounts | sort -r |
            while read -r m; do umount -l "$m" 2>/dev/null || true; done
    fi
}

# Runs a command inside the chroot with a clean environment, as root.
nuk_chroot_run() {
    local dir="$1"
    shift
    chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
