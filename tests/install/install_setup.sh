# Sourced by the install tests with BUILD_DIR SOURCE_DIR as their arguments: sets `build`,
# `source`, a scratch folder `work` (removed on exit), the prefix $VARNEL the docs' snippets
# install to, and `snippet NAME`, which prints a snippet of docs/linking.md.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
doc=$source/docs/linking.md
snippet() { bash "$source/tests/install/doc_snippet.sh" "$doc" "$1"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VARNEL=$work/prefix
