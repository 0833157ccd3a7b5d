#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and uses it as an outside user would: the host
# runs, the example project builds with find_package(talvex) and runs, and the same program
# builds with pkg-config alone.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
tmp=$(mktemp -d /tmp/talvex-install-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" > "$tmp/install.log"
test -x "$prefix/bin/talvex"
"$prefix/bin/talvex" methods TextFileToArray | grep -q "^Function TextFileToArray("
# Only the public headers: include/talvex and the facade written from the type library.
diff <(cd "$prefix/include" && find . | sort) \
     <( (echo .; echo ./talvex; echo ./talvex/control.h; cd "$source/include" && find talvex -name '*.h' | sed 's|^|./|') | sort)

# The manual page renders without warnings; the completion offers commands, options and methods.
man_page=$prefix/share/man/man1/talvex.1
MANWIDTH=80 man --warnings -l "$man_page" 2> "$tmp/man.err" | grep -q "^EXIT STATUS"
test ! -s "$tmp/man.err" || { cat "$tmp/man.err"; exit 1; }
complete_words() {  # the words of a command line being completed -> the offered words
  PATH=$prefix/bin:$PATH bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _talvex
                                  for w in "${COMPREPLY[@]}"; do printf "%s " "$w"; done' _ \
    "$prefix/share/bash-completion/completions/talvex" "$@"
}
test "$(complete_words talvex se)" = "session "
test "$(complete_words talvex session --max-)" = "--max-line --max-depth "
test "$(complete_words talvex call TextFileTo)" = "TextFileToArray TextFileToOneDArray "
test "$(complete_words talvex call --quiet ZoomP)" = "ZoomPick ZoomPrevious "
test "$(complete_words talvex methods --j)" = "--json "
test -z "$(complete_words talvex call TextFileToArray in)"  # arguments: the shell's file names

printf 'name,qty\r\nbolt,12\r\nnut,7\r\n' > "$tmp/in.csv"
check_example() {  # the program, what it wrote
  "$1" "$tmp/in.csv" "$tmp/out.html" | grep -qx "rows 3, columns 2"
  grep -q "<TD NOWRAP>bolt</TD><TD NOWRAP>12</TD>" "$tmp/out.html"
  rm -f "$tmp/out.html"
  if "$1" "$tmp/no-such.csv" "$tmp/out.html" 2> "$tmp/err"; then
    echo "a missing input was reported as success"; exit 1
  fi
}

cmake -S "$source/examples" -B "$tmp/example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$prefix" > "$tmp/configure.log"
cmake --build "$tmp/example" > "$tmp/build.log" || { cat "$tmp/build.log"; exit 1; }
check_example "$tmp/example/csv_to_html"

pc_dir=$(dirname "$(find "$prefix" -name talvex.pc)")
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs talvex)
c++ -O1 -o "$tmp/csv_to_html_pc" "$source/examples/csv_to_html.cc" $flags
check_example "$tmp/csv_to_html_pc"

# One version: the host's, the pkg-config file's and the CMake package's.
version=$(PKG_CONFIG_PATH=$pc_dir pkg-config --modversion talvex)
test "$("$prefix/bin/talvex" --version)" = "talvex $version"
grep -q "PACKAGE_VERSION \"$version\"" "$prefix"/lib*/cmake/talvex/talvexConfigVersion.cmake
grep -q "talvex $version" "$man_page"
echo "installed tree works: host, manual page, completion, CMake package, pkg-config, one version"

# The Python package (not built under sanitizers), from the prefix in a fresh interpreter, and
# built by pip into a venv.
check_python() {  # interpreter, extra environment
  env "${@:2}" "$1" -c "import talvex, os
c = talvex.Control()
rows = talvex.Ref([])
assert c.TextFileToArray('$tmp/in.csv', rows) == 1 and rows.value[1] == ['bolt', '12'], rows
d = os.path.dirname(talvex.__file__)
assert all(os.path.exists(os.path.join(d, f)) for f in ('py.typed', '_talvex.pyi')), os.listdir(d)
print(talvex.__version__)" | grep -qx "$version"
}
if [ -d "$build/python/talvex" ]; then
  check_python /usr/bin/python3 PYTHONPATH="$prefix/lib/python3/dist-packages"
  /usr/bin/python3 -m venv --system-site-packages "$tmp/venv"
  TALVEX_BUILD_DIR=$build "$tmp/venv/bin/pip" install --quiet --no-build-isolation --no-deps --no-index \
    "$source/python" > "$tmp/pip.log" 2>&1 || { cat "$tmp/pip.log"; exit 1; }
  check_python "$tmp/venv/bin/python" PYTHONNOUSERSITE=1
  echo "Python package works: installed under the prefix and by pip"
fi
