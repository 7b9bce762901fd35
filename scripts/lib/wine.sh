# Shell helpers for the scripts that run the Windows programs under wine (sourced, not
# run), on this machine and in the wine32 guest:
#   wine_dll_overrides           WINEDLLOVERRIDES for a prefix that runs only our programs
#   wine_start_server_with_windows START STOP CHECK
#                                starts a wine server until its programs can make windows
#   kestrava_window_title TOP    the title of Kestrava.exe's window, from the project's version
#   kestrava_control_id TOP NAME a dialog control's id (IDC_STATUS, IDOK) from res/resource.h

# No Mono, Gecko or menu entries: the prefix only runs our console and dialog programs.
wine_dll_overrides='mscoree,mshtml=;winemenubuilder.exe=d'

# wine_start_server_with_windows START STOP CHECK: runs START (a command that starts a
# wine server and its prefix's services), then CHECK (whether a program of it can make a
# window). Once in a while on a busy machine a new server comes up where no program can
# (the dialogs fail to open) for as long as it lives, while programs without windows run:
# such a server is ended with STOP and started anew, twice at most. After that the
# programs run all the same, and their windows say what went wrong. Calls
# `wine_no_windows N` (when the caller defines it) for each server without windows.
wine_start_server_with_windows() {
  local start=$1 stop=$2 check=$3 server
  for server in 1 2 3; do
    "$start"
    if "$check"; then return 0; fi
    if declare -F wine_no_windows >/dev/null; then wine_no_windows "$server"; fi
    if ((server < 3)); then "$stop"; fi
  done
  return 1
}

# The title the program gives its window: "Kestrava A.B.C" of the project's A.B.C.D.
kestrava_window_title() {
  local version
  version=$("$1/scripts/project-version") || return 1
  echo "Kestrava $(cut -d. -f1-3 <<<"$version")"
}

# kestrava_control_id TOP NAME: the number res/resource.h defines for NAME; IDOK (the
# "Close" button) is Windows' own 1.
kestrava_control_id() {
  local id
  if [[ $2 == IDOK ]]; then
    echo 1
    return 0
  fi
  id=$(sed -n "s/^#define $2 \([0-9][0-9]*\).*/\1/p" "$1/res/resource.h")
  [[ -n $id ]] || { echo "no control $2 in $1/res/resource.h" >&2; return 1; }
  echo "$id"
}
