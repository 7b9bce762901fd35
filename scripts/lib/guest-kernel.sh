# Shell helpers for the scripts that boot a Debian kernel under qemu (the real-USB cases,
# the wine32 guest), sourced, not run:
#   as_root COMMAND...   runs a command as root (sudo unless this is root already)
#   kernel_package       the package of the current Debian 12 kernel, as the package
#                        lists name it (empty when they name none: apt-get update first)

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }'
}
