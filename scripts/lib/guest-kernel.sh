# Shell helpers for the scripts that boot a Debian kernel under qemu (the real-USB cases,
# the wine32 guest), sourced, not run:
#   as_root COMMAND...   runs a command as root (sudo unless this is root already)
#   kernel_package       the package of the current Debian 12 kernel, as the package
#                        lists name it (empty when they name none: apt-get update first)
#   unpack_kernel DEB DIR MODULE...
#                        the kernel of that package to DIR/vmlinuz and the modules named
#                        to DIR/modules/NAME.ko, uncompressed; fails when one is missing

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }'
}

unpack_kernel() {
  local deb=$1 dir=$2
  shift 2
  local unpacked=$dir/unpacked module file
  rm -rf "$unpacked" "$dir/modules"
  mkdir -p "$unpacked" "$dir/modules"
  local wanted=('./boot/vmlinuz-*')
  for module in "$@"; do wanted+=("*/$module.ko*"); done
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$unpacked" --wildcards "${wanted[@]}" || return 1
  for module in "$@"; do
    file=$(find "$unpacked" -name "$module.ko*" | head -n 1)
    case $file in
      *.ko) cp "$file" "$dir/modules/$module.ko" ;;
      *.ko.xz) xz -dc "$file" >"$dir/modules/$module.ko" ;;
      *) echo "$module is missing from $deb" >&2; return 1 ;;
    esac
  done
  cp "$(find "$unpacked/boot" -name 'vmlinuz-*' | head -n 1)" "$dir/vmlinuz.part"
  mv "$dir/vmlinuz.part" "$dir/vmlinuz"
  rm -rf "$unpacked"
}
