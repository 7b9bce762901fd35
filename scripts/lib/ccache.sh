# Compiling through ccache, when it is installed (sourced by the scripts that build,
# after they set $top):
#   cmake ... "$ccache_option"
# The cache lives outside the clone, in $KESTRAVA_CCACHE_DIR or else
# ${XDG_CACHE_HOME:-$HOME/.cache}/kestrava/ccache, so a fresh clone (CI's, every run)
# starts from what the last one compiled. Paths inside the clone are hashed relative to
# it (CCACHE_BASEDIR) and the build folder is not hashed (CCACHE_NOHASHDIR), so two
# clones in different folders hit the same entries; the debugging information of an
# object taken from the cache then names the folder of the clone that compiled it first.
# The release builds (scripts/package, scripts/package-windows) do not use it: they are
# built from scratch, the same bytes every time.

# $ccache_option puts ccache before the compiler, or takes it away again when ccache is
# not installed (from a build folder configured with it before).
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${KESTRAVA_CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrava/ccache}
  export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=true
  mkdir -p "$CCACHE_DIR"
  ccache_option=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
else
  ccache_option=-DCMAKE_CXX_COMPILER_LAUNCHER=
fi
