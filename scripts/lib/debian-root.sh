# Shell helpers for the scripts that work in a clean Debian root (sourced, not run):
#   debian_root_open RELEASE   unpacks a fresh root of RELEASE (bookworm, trixie) into
#                              $root, with /proc mounted; undone by debian_root_close
#   in_root COMMAND...         runs a command in it, with a clean environment
#   apt_in_root ARGS...        runs apt-get in it, its output to $root.log, shown on failure
#   check WHAT COMMAND...      prints "ok: WHAT" or "FAILED: WHAT" and sets fail=1
# The root comes from debootstrap (minbase and man-db), made once per release and kept
# as a tar in $KESTRAVA_ROOT_CACHE (default /var/cache/kestrava), beside the packages apt
# fetched in it, so a second run downloads nothing it already has. Runs as root (chroot).

debian_root_cache=${KESTRAVA_ROOT_CACHE:-/var/cache/kestrava}
debian_root_mirror=http://deb.debian.org/debian
fail=0

# debian_root_name RELEASE: the release's number, for messages.
debian_root_name() {
  case $1 in
    bookworm) echo "Debian 12" ;;
    trixie) echo "Debian 13" ;;
    *) echo "Debian $1" ;;
  esac
}

# debian_root_tar RELEASE: makes the kept tar of the release's root if there is none yet.
debian_root_tar() {
  local release=$1 base=$debian_root_cache/$1-minbase.tar tmp
  if [[ ! -f $base ]]; then
    echo "== debootstrap $release: downloads about 35 MB of packages from $debian_root_mirror" \
      "(once, kept in $base)" >&2
    mkdir -p "$debian_root_cache"
    tmp=$(mktemp -d "$debian_root_cache/debootstrap.XXXXXX")
    if ! debootstrap --variant=minbase --include=man-db "$release" "$tmp" "$debian_root_mirror" \
      >"$tmp.log" 2>&1; then
      tail -30 "$tmp.log" >&2
      echo "debootstrap $release failed (its log: $tmp.log); check that $debian_root_mirror" \
        "can be reached, then run this again" >&2
      rm -rf "$tmp"
      return 1
    fi
    rm -f "$tmp.log"
    chmod 755 "$tmp"
    tar --numeric-owner -C "$tmp" -cf "$base.tmp" .
    mv "$base.tmp" "$base"
    rm -rf "$tmp"
  fi
}

debian_root_open() {
  debian_root_release=$1
  debian_root_archives=$debian_root_cache/$1-archives
  "$top/scripts/setup" debootstrap
  debian_root_tar "$debian_root_release"
  mkdir -p "$debian_root_archives"
  root=$(mktemp -d "${TMPDIR:-/tmp}/kestrava-$debian_root_release.XXXXXX")
  debian_root_mounts=()
  trap debian_root_close EXIT
  tar -xf "$debian_root_cache/$debian_root_release-minbase.tar" -C "$root"
  # mktemp made the folder for root alone; apt and man-db drop to users of their own.
  chmod 755 "$root"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  debian_root_mount -t proc proc "$root/proc"
  cp "$debian_root_archives/"*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
}

# debian_root_mount MOUNT-ARGUMENTS... TARGET: a mount that debian_root_close undoes.
debian_root_mount() {
  mount "$@"
  debian_root_mounts+=("${!#}")
}

# Keeps what apt fetched in the root for the next one.
debian_root_keep_archives() {
  cp -n "$root/var/cache/apt/archives/"*.deb "$debian_root_archives/" 2>/dev/null || true
}

debian_root_close() {
  local i
  [[ -n ${root:-} && -d $root ]] || return 0
  for ((i = ${#debian_root_mounts[@]} - 1; i >= 0; i--)); do
    umount "${debian_root_mounts[i]}" 2>/dev/null || umount -l "${debian_root_mounts[i]}" || true
  done
  # Only once nothing is mounted in it any more: rm must never reach a bound source tree.
  if ! grep -q " $root/" /proc/mounts; then
    rm -rf "$root"
  else
    echo "left $root: something is still mounted in it" >&2
  fi
  rm -f "$root.log" "$root.stderr"
}

in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

apt_in_root() {
  in_root apt-get "$@" >>"$root.log" 2>&1 || {
    cat "$root.log" >&2
    return 1
  }
}

# debian_root_install PACKAGE...: apt-get install in the root, saying first how much it
# downloads (what the kept archives do not hold already).
debian_root_install() {
  local bytes
  bytes=$(in_root apt-get install -qq --print-uris --no-install-recommends "$@" 2>>"$root.log" |
    awk '{ sum += $3 } END { print sum + 0 }')
  if ((bytes >= 1000000)); then
    echo "== downloading $(((bytes + 500000) / 1000000)) MB of $(debian_root_name "$debian_root_release")" \
      "packages for: $*" >&2
  elif ((bytes > 0)); then
    echo "== downloading less than 1 MB of packages for: $*" >&2
  fi
  apt_in_root install -y --no-install-recommends "$@"
  debian_root_keep_archives
}

check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; fail=1; fi
}

# What kestrava-cli --device virtual prints on its standard output: the fields, the
# whole report of the built-in virtual printer, and "done" (tests/whole_run_test.cpp).
virtual_printer_output() {
  local version
  version=$("$top/scripts/project-version")
  printf '%s\n' \
    "Model:         Pantum P3301/Gorilla-SFP-MB-A" \
    "Build:          2021-03-16 14:02" \
    "FW version:    3.3.8.1" \
    "Serial number: CN3A012345" \
    "" \
    "Model: P3301DN (232B0EF5) (Pantum P3301/Gorilla-SFP-MB-A)" \
    "S/N: CN3A012345" \
    "FW version: 3.3.8.1" \
    "Engine version: 1.2.15" \
    "Build:  2021-03-16 14:02" \
    "Ram size: 128Mb" \
    "Black toner remain: 80%" \
    "Drum remain: 64%" \
    "ProgID: $version" \
    "" \
    "done"
}

# check_virtual_run COMMAND...: runs kestrava-cli --device virtual in the root (the
# command that starts it: kestrava-cli, or scripts/run, which builds it first) and checks
# its exit status and its whole output. Its stderr is left in $root.stderr.
check_virtual_run() {
  local output status
  output=$(in_root "$@" --device virtual 2>"$root.stderr") && status=0 || status=$?
  check "$* --device virtual exits 0 (got $status)" test "$status" -eq 0
  if [[ $output == "$(virtual_printer_output)" ]]; then
    echo "ok: it prints the fields, the whole report and \"done\""
  else
    echo "FAILED: its output is not the virtual printer's whole report; it printed:" >&2
    printf '%s\n' "$output" >&2
    cat "$root.stderr" >&2
    fail=1
  fi
}
