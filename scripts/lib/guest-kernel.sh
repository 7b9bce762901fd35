# Shell helpers for the scripts that boot a Debian kernel under qemu (the real-USB cases,
# the wine32 guest), sourced, not run:
#   as_root COMMAND...   runs a command as root (sudo unless this is root already)
#   kernel_package       the package of the running release's current kernel, as the
#                        package lists name it (empty when they name none: apt-get update
#                        first)
#   unpack_kernel DEB DIR MODULE...
#                        the kernel of that package to DIR/vmlinuz and the modules named
#                        to DIR/modules/NAME.ko, uncompressed, with DIR/modules/order: the
#                        ones unpacked, in the order named, for the guest to load. A module
#                        the kernel has built in is left out (Debian 13's has the virtio
#                        drivers built in, Debian 12's has them as modules); a name ending
#                        in "?" is one that some kernels fold into another module (fscache
#                        into netfs since 6.8) and is left out where there is no such file.
#                        Any other missing module fails it, and so does one named before a
#                        module it needs.

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }'
}

# built_in NAME LIST: NAME is in the kernel's modules.builtin LIST (an empty LIST holds
# nothing). Module names take - and _ alike; the list has the file's spelling.
built_in() {
  local name=$1 list=$2
  [[ -n $list ]] && grep -q -e "/$name\.ko\$" -e "/${name//_/-}\.ko\$" -e "/${name//-/_}\.ko\$" "$list"
}

unpack_kernel() {
  local deb=$1 dir=$2
  shift 2
  local unpacked=$dir/unpacked module name file
  rm -rf "$unpacked" "$dir/modules" "$dir/vmlinuz"
  mkdir -p "$unpacked" "$dir/modules"
  local wanted=('./boot/vmlinuz-*' '*/modules.builtin')
  for module in "$@"; do wanted+=("*/${module%\?}.ko*"); done
  # tar fails for each name the package does not hold (a built-in one): only its other
  # complaints count, and a package without a kernel fails below.
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$unpacked" --wildcards "${wanted[@]}" 2>"$dir/tar.log" ||
    if grep -v -e 'Not found in archive' -e 'Exiting with failure status' "$dir/tar.log" >&2; then return 1; fi
  rm -f "$dir/tar.log"
  local builtin
  builtin=$(find "$unpacked" -name modules.builtin | head -n 1)
  : >"$dir/modules/order"
  for module in "$@"; do
    name=${module%\?}
    file=$(find "$unpacked" -name "$name.ko*" | head -n 1)
    case $file in
      *.ko) cp "$file" "$dir/modules/$name.ko" || return 1 ;;
      # Debian 13 packs its modules with xz (dpkg-deb needs no xz program for that).
      *.ko.xz) xz -dc "$file" >"$dir/modules/$name.ko" || {
        echo "cannot unpack $file (xz, from xz-utils, must be installed)" >&2
        return 1
      } ;;
      *)
        built_in "$name" "$builtin" && continue
        [[ $module == *\? ]] && continue
        echo "$name is missing from $deb: neither a module file nor built into its kernel" >&2
        return 1
        ;;
    esac
    # Without modules.dep the guest loads them in this order: each must come after the
    # modules it needs (the kernel's own list, depends= in the module's .modinfo).
    local needed
    for needed in $(tr '\0' '\n' <"$dir/modules/$name.ko" | sed -n 's/^depends=//p' | head -n 1 | tr ',' ' '); do
      grep -qx -e "$needed" -e "${needed//_/-}" -e "${needed//-/_}" "$dir/modules/order" ||
        built_in "$needed" "$builtin" || {
        echo "$name needs $needed, which is not named before it (kernel of $deb)" >&2
        return 1
      }
    done
    echo "$name" >>"$dir/modules/order"
  done
  file=$(find "$unpacked" -path '*/boot/vmlinuz-*' | head -n 1)
  [[ -n $file ]] || { echo "$deb holds no kernel (boot/vmlinuz-*)" >&2; return 1; }
  cp "$file" "$dir/vmlinuz.part"
  mv "$dir/vmlinuz.part" "$dir/vmlinuz"
  rm -rf "$unpacked"
}
