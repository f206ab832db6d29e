#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it the way a host project
# outside this repository does: the C host example through pkg-config, the C
# and C++ snippets of the README, the C++ host example through
# find_package(mostfcat), the installed tool, and the Python module (when the
# build made it) with only the prefix on the module path. Only the prefix is on
# the include and library paths; every program runs on a copy of the sample
# catalog, so logs and caches stay out of the source tree.
#
# Environment (set by tests/consumer/CMakeLists.txt):
#   MOSTFCAT_SOURCE_DIR, MOSTFCAT_BUILD_DIR  the project and its build folder
#   MOSTFCAT_CONSUMER_DIR                    scratch folder (emptied first)
#   MOSTFCAT_LIBDIR                          the configured library folder
#   MOSTFCAT_CMAKE, CC, CXX, CMAKE_GENERATOR the tools of the build
#   MOSTFCAT_SAN_FLAGS                       sanitizer flags of the build, if any:
#                                            the consumers need them to load an
#                                            instrumented library
#
# Flag lists ($san, $cflags, $libs) are split into words on purpose.
# shellcheck disable=SC2086,SC2015
set -euo pipefail

src=${MOSTFCAT_SOURCE_DIR:?}
build=${MOSTFCAT_BUILD_DIR:?}
work=${MOSTFCAT_CONSUMER_DIR:?}
libdir_rel=${MOSTFCAT_LIBDIR:?}
cmake=${MOSTFCAT_CMAKE:-cmake}
san=${MOSTFCAT_SAN_FLAGS:-}

fail() {
    echo "consumer test: $*" >&2
    exit 1
}

# expect_lines NAME OUTPUT LINE...: every LINE is a whole line of OUTPUT.
expect_lines() {
    local name=$1 out=$2
    shift 2
    for line in "$@"; do
        grep -qxF -- "$line" <<<"$out" || fail "$name: missing line \"$line\" in:"$'\n'"$out"
    done
}

rm -rf "$work"
mkdir -p "$work/run"
prefix=$work/prefix
libdir=$prefix/$libdir_rel
# A consumer sees nothing of the user's environment that could point elsewhere.
unset CPATH C_INCLUDE_PATH CPLUS_INCLUDE_PATH LIBRARY_PATH LD_LIBRARY_PATH PKG_CONFIG_LIBDIR \
      CMAKE_PREFIX_PATH mostfcat_DIR
export PKG_CONFIG_PATH=$libdir/pkgconfig

# Outputs are read into variables before grep -q looks at them: with pipefail, a
# writer cut off by an early grep exit would turn a match into a failure.

# --- the install ------------------------------------------------------------------------
# cmake --install writes its manifest into the build folder; the manifest of a
# real install made from this build (make install) is put back afterwards.
manifest=$build/install_manifest.txt
[ ! -f "$manifest" ] || mv "$manifest" "$work/saved_manifest.txt"
status=0
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.out" 2>&1 || status=$?
[ ! -f "$manifest" ] || mv "$manifest" "$work/install_manifest.txt"
[ ! -f "$work/saved_manifest.txt" ] || mv "$work/saved_manifest.txt" "$manifest"
[ $status -eq 0 ] || fail "cmake --install failed: $(cat "$work/install.out")"

# The Python package's folder below the prefix, if the build made the module.
pyinit=$(grep -m1 '/mostfcat/__init__\.py$' "$work/install_manifest.txt" || true)
pyrel=
if [ -n "$pyinit" ]; then
    pyrel=${pyinit#"$prefix"/}
    pyrel=${pyrel%/mostfcat/__init__.py}
fi

# Every installed file belongs to the interface, the tool, the sample, the
# parser and web server modules or a package file.
# (The manifest's last line has no line feed.)
while IFS= read -r file || [ -n "$file" ]; do
    rel=${file#"$prefix"/}
    case $rel in
    "$pyrel"/mostfcat/*.py | "$pyrel"/mostfcat/*.pyi | "$pyrel"/mostfcat/py.typed | \
    "$pyrel"/mostfcat/_mostfcat.*.so)
        [ -n "$pyrel" ] || fail "installed a file that is not part of the package: $rel" ;;
    bin/mostfcat | share/mostfcat/sample_catalog.xml) ;;
    include/mostfcat/*.h) [ -f "$src/$rel" ] || fail "installed a header that is not public: $rel" ;;
    "$libdir_rel"/libmostfcat.so | "$libdir_rel"/libmostfcat.so.* | "$libdir_rel"/libmostfcat_xml.so | \
    "$libdir_rel"/libmostfcat_serve.so) ;;
    "$libdir_rel"/cmake/mostfcat/*.cmake | "$libdir_rel"/pkgconfig/mostfcat.pc) ;;
    *) fail "installed a file that is not part of the package: $rel" ;;
    esac
done <"$work/install_manifest.txt"
for f in bin/mostfcat share/mostfcat/sample_catalog.xml "$libdir_rel/pkgconfig/mostfcat.pc" \
         "$libdir_rel/libmostfcat_xml.so" "$libdir_rel/libmostfcat_serve.so" \
         "$libdir_rel/cmake/mostfcat/mostfcatConfig.cmake" \
         "$libdir_rel/cmake/mostfcat/mostfcatConfigVersion.cmake"; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# Every public header, also those added after this test was written.
for h in "$src"/include/mostfcat/*.h; do
    [ -f "$prefix/include/mostfcat/${h##*/}" ] || fail "header not installed: ${h##*/}"
done

# The versioned library, its SONAME and the two links.
soname=$(readelf -d "$libdir/libmostfcat.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
real=$(readlink -f "$libdir/libmostfcat.so")
[[ $soname =~ ^libmostfcat\.so\.[0-9]+$ ]] || fail "unexpected SONAME '$soname'"
[ -L "$libdir/libmostfcat.so" ] && [ -L "$libdir/$soname" ] || fail "$soname links missing"
[ "$(readlink -f "$libdir/$soname")" = "$real" ] && [[ ${real##*/} == "$soname".*.* ]] ||
    fail "links do not end at the versioned library: $real"

# --- the headers stand alone, without the library's build definitions -------------------
while IFS= read -r h; do
    echo "#include <${h#"$prefix"/include/}>" |
        $CXX -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$prefix/include" \
            -x c++ - || fail "${h##*/} does not compile on its own as C++"
done < <(find "$prefix/include" -name "*.h")
echo "#include <mostfcat/fct.h>" |
    $CC -std=c99 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$prefix/include" -x c - ||
    fail "fct.h does not compile on its own as C"

# --- pkg-config -------------------------------------------------------------------------
version=$(pkg-config --modversion mostfcat) || fail "pkg-config does not find mostfcat.pc"
[ "$(pkg-config --variable=libdir mostfcat)" = "$libdir" ] ||
    fail "mostfcat.pc names libdir $(pkg-config --variable=libdir mostfcat), not $libdir"
# pkg-config ends its output with a blank; read -r drops it.
read -r cflags < <(pkg-config --cflags mostfcat)
read -r libs < <(pkg-config --libs mostfcat)
[ "$cflags" = "-I$prefix/include" ] || fail "unexpected Cflags: $cflags"
for flag in $cflags $libs; do
    case $flag in
    -I"$prefix"/* | -L"$prefix"/* | -lmostfcat) ;;
    *) fail "pkg-config flag outside the prefix: $flag" ;;
    esac
done

catalog=$work/run/sample_catalog.xml
cp "$src/examples/catalogs/sample_catalog.xml" "$catalog"

# --- the C host example: compiled with pkg-config, loads the installed library ----------
$CC -std=c99 -Wall -Wextra -Wpedantic -Werror $san $cflags \
    -DMOSTFCAT_LIBRARY="\"$libdir/$soname\"" "$src/examples/host/host.c" -ldl \
    -o "$work/mostfcat_host" || fail "the C host example does not build"
out=$("$work/mostfcat_host" "$catalog") || fail "the C host example failed: $out"
for line in "  fblock NetBlock id 0x01: " "  fblock AudioAmplifier id 0x22: " \
            "  fblock AudioTunerAmFm id 0x40: "; do
    grep -qF -- "$line" <<<"$out" || fail "C host: no \"$line\" in:"$'\n'"$out"
done
expect_lines "C host" "$out" \
    "    instance AmplifierRear id 0x02 (FBlock element AudioAmplifier)"
[ -f "$work/run/sample_catalog.log" ] && [ -f "$work/run/sample_catalog.vfc" ] ||
    fail "the C host left no import log or cache beside the catalog copy"

# --- the README's C and C++ snippets, as written -----------------------------------------
# The fenced blocks of the section "Use it from C / C++ / Python".
snippet() {
    awk -v lang="$1" '
        /^## / { inside = ($0 ~ /^## Use it from C/) }
        inside && $0 == "```" lang { take = !done; next }
        take && $0 == "```" { take = 0; done = 1; next }
        take { print }' "$src/README.md"
}
snippet c >"$work/readme.c"
snippet cpp >"$work/readme.cpp"
[ -s "$work/readme.c" ] && [ -s "$work/readme.cpp" ] || fail "README: no C or C++ snippet found"
rpath=-Wl,-rpath,$libdir
$CC -Wall -Wextra -Werror $san "$work/readme.c" $cflags $libs "$rpath" -o "$work/readme_c" ||
    fail "the README's C snippet does not build"
$CXX -std=c++17 -Wall -Wextra -Werror $san "$work/readme.cpp" $cflags $libs "$rpath" \
    -o "$work/readme_cpp" || fail "the README's C++ snippet does not build"
out=$("$work/readme_c" "$catalog") || fail "the README's C snippet failed: $out"
expect_lines "README C" "$out" NetBlock AudioAmplifier AudioTunerAmFm
out=$("$work/readme_cpp" "$catalog") || fail "the README's C++ snippet failed: $out"
expect_lines "README C++" "$out" "0x01 NetBlock" "0x22 AudioAmplifier" "0x40 AudioTunerAmFm"

# --- the C++ host example through find_package ------------------------------------------
"$cmake" -S "$src/examples/cpp_host" -B "$work/cpp_host" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" \
    >"$work/cpp_host.configure" 2>&1 || fail "cpp_host: configure failed: $(cat "$work/cpp_host.configure")"
grep -qxF "mostfcat_DIR:PATH=$libdir/cmake/mostfcat" "$work/cpp_host/CMakeCache.txt" ||
    fail "cpp_host: found a mostfcat package outside the prefix"
"$cmake" --build "$work/cpp_host" >"$work/cpp_host.build" 2>&1 ||
    fail "cpp_host: build failed: $(cat "$work/cpp_host.build")"
# Include folders come from the prefix only.
includes=$(grep -o -- '-\(I\|isystem \)[^ "]*' "$work/cpp_host/compile_commands.json" || true)
[ -n "$includes" ] || fail "cpp_host: the imported target gave no include folder"
while read -r flag; do
    dir=${flag#-I}
    dir=${dir#-isystem }
    [ "$dir" = "$prefix/include" ] || fail "cpp_host: include folder outside the prefix: $flag"
done <<<"$includes"
dynamic=$(readelf -d "$work/cpp_host/mostfcat_cpp_host")
grep "R.*PATH" <<<"$dynamic" | grep -qF "$libdir" ||
    fail "cpp_host: the program does not find the library in the prefix"
out=$("$work/cpp_host/mostfcat_cpp_host" "$catalog") || fail "cpp_host failed: $out"
# The sink, derived from an exported class, heard every change before and after.
grep -qE "^opened .* as sample_catalog \(notifications: ([1-9][0-9]*) before, \1 after\)$" \
    <<<"$out" || fail "cpp_host: open or change notifications wrong in:"$'\n'"$out"
expect_lines "cpp_host" "$out" \
    "fblock NetBlock id 0x01, instances: 0x00" \
    "fblock AudioAmplifier id 0x22, instances: 0x01 0x02"
out=$("$work/cpp_host/mostfcat_cpp_host" "$work/run/missing.xml" 2>&1) &&
    fail "cpp_host: a missing catalog gave success"

# --- the installed tool -----------------------------------------------------------------
dynamic=$(readelf -d "$prefix/bin/mostfcat")
! grep -q "libmostfcat\|R.*PATH" <<<"$dynamic" ||
    fail "the installed tool needs libmostfcat.so or carries an RPATH"
out=$("$prefix/bin/mostfcat" list "$catalog") || fail "the installed tool failed: $out"
grep -q "AudioAmplifier" <<<"$out" || fail "the installed tool listed no AudioAmplifier"
# The HTTP library and what it links (TLS, crypto) come only with the web
# server module, which the installed tool finds in its library folder.
! grep -q "httplib\|libssl\|libcrypto" <<<"$dynamic" ||
    fail "the installed tool links the web server's libraries itself"
"$prefix/bin/mostfcat" serve "$catalog" --port 0 >"$work/serve.out" 2>&1 &
serve_pid=$!
for _ in $(seq 100); do
    grep -q "http://" "$work/serve.out" || ! kill -0 "$serve_pid" 2>/dev/null && break
    sleep 0.1
done
kill -TERM "$serve_pid" 2>/dev/null || true
serve_rc=0
wait "$serve_pid" || serve_rc=$?
grep -q "^mostfcat serve: http://127.0.0.1:[0-9]*/ " "$work/serve.out" && [ "$serve_rc" = 0 ] ||
    fail "the installed tool did not serve (exit $serve_rc): $(cat "$work/serve.out")"

# --- the Python module, with only the prefix on the module path -------------------------
used="C, C++ and the tool"
if [ -z "$pyrel" ]; then
    echo "consumer test: the build made no Python module (pybind11 or Python headers missing)"
else
    python=$(sed -n 's/^MOSTFCAT_PYTHON:[A-Z]*=//p' "$build/CMakeCache.txt")
    [ -x "$python" ] || fail "no Python interpreter named in $build/CMakeCache.txt"
    # The platlib folder of the interpreter's posix_prefix scheme.
    platlib=$("$python" -c 'import sys, sysconfig; print(sysconfig.get_path("platlib",
        "posix_prefix", vars={"base": sys.argv[1], "platbase": sys.argv[1]}))' "$prefix")
    [ "$platlib" = "$prefix/$pyrel" ] ||
        fail "the Python package went to $prefix/$pyrel, not to $platlib"
    dynamic=$(readelf -d "$prefix/$pyrel"/mostfcat/_mostfcat.*.so)
    grep 'R.*PATH' <<<"$dynamic" | grep -qF '$ORIGIN' ||
        fail "the Python extension has no run-time path to the prefix's library"
    pyrun=(env -u PYTHONHOME -u PYTHONSTARTUP PYTHONPATH="$prefix/$pyrel" PYTHONNOUSERSITE=1
           PYTHONDONTWRITEBYTECODE=1)
    if [ -n "$san" ]; then
        # An instrumented extension needs the sanitizer runtime loaded first, and
        # the C++ runtime with it (the interpreter does not load it itself); the
        # interpreter keeps memory until exit on purpose.
        pyrun+=(LD_PRELOAD="$($CXX -print-file-name=libasan.so) $($CXX -print-file-name=libstdc++.so)"
                ASAN_OPTIONS=detect_leaks=0)
    fi
    out=$(cd "$work/run" && "${pyrun[@]}" "$python" -c '
import sys
import mostfcat
assert mostfcat.__file__.startswith(sys.argv[1] + "/"), mostfcat.__file__
with mostfcat.Manager() as mgr:
    mgr.open("sample_catalog.xml", log_path=None)
    msg = mgr.decode(0x22, 1, 0x400, 0xC, b"\x3c")
print(msg.function_name, [(p.name, p.value, p.unit) for p in msg.params])
' "$prefix") || fail "importing the installed Python module failed: $out"
    expect_lines "Python" "$out" "Volume [('Volume', '60', '%')]"
    snippet python >"$work/readme.py"
    [ -s "$work/readme.py" ] || fail "README: no Python snippet found"
    out=$("${pyrun[@]}" "$python" "$work/readme.py" "$catalog" 2>&1) ||
        fail "the README's Python snippet failed: $out"
    expect_lines "README Python" "$out" "0x22 AudioAmplifier" "Volume 60 % 60.0" "3c"
    used="C, C++, Python and the tool"
fi

echo "consumer test: mostfcat $version from $prefix used by $used"
