#!/bin/sh
# The compiler launcher of the Windows builds: ccache with the project's own cache. The
# release tree compiles with the win32 tree's flags (it strips at the link instead), so it
# takes the objects the win32 tree made and builds in seconds. The two trees differ in their
# folder alone, which only the debug information names, and the release build strips that.
CCACHE_DIR=${CCACHE_DIR:-$(cd "$(dirname "$0")/.." && pwd)/.ccache}
# Not the build folder in the key; and the compiler's own dependency list instead of a second
# pass of the preprocessor on a miss.
CCACHE_NOHASHDIR=1
CCACHE_DEPEND=1
export CCACHE_DIR CCACHE_NOHASHDIR CCACHE_DEPEND
exec ccache "$@"
