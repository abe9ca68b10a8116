#!/usr/bin/env bash
# Prepares what clang-cl needs to build in Visual Studio's ABI on Linux, into a folder kept
# outside the clone (the "sysroot" cmake/toolchains/clang-cl-x86_64.cmake uses):
#
#   include/stl   Microsoft's C++ standard library (the VS 2022 line), at a pinned commit;
#   include/vcrt  the compiler runtime's headers, the project's own (scripts/windows/msvc/include);
#   include/crt   Wine's C runtime headers, and include/sdk Wine's Windows headers, patched
#                 (scripts/windows/patches/wine-headers, each patch says why);
#   lib/          import libraries made from the export tables of Wine's own DLLs
#                 (scripts/windows/msvc/pe_exports_def.py), under the names clang-cl's /MD asks
#                 for: msvcrt.lib (vcruntime140 and ucrtbase, with the project's static runtime
#                 support, scripts/windows/msvc/runtime), msvcprt.lib (msvcp140 and its satellites,
#                 with the C++ library's own static pieces), oldnames.lib, and the system's
#                 kernel32.lib, user32.lib, winhttp.lib, ... .
#
# The folder is named by a key of the STL's commit, the Debian packages it is made from, this
# script and the project's files it uses; a folder once made is used as it is. Its path is the
# last line of the output (the only line on standard output).
#
#   scripts/msvc-toolchain.sh                 make the folder unless it is there
#   scripts/msvc-toolchain.sh --print-prefix  print the folder if it is made; fail otherwise
#
# LUMO_MSVC_STL            the STL: its archive, or a git checkout at the pinned commit; else
#                          ../shared/msvc-stl beside the clone, else a clone of the repository
# LUMO_MSVC_TOOLCHAIN_CACHE  where the folders are kept (~/.cache/lumoapi/msvc-toolchain)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
msvc_dir="$repo/scripts/windows/msvc"
patch_dir="$repo/scripts/windows/patches/wine-headers"

stl_commit=21274f5c64571512a02299d276b37e59f52151de
stl_archive_sha256=8e6623be01a4ddd3652fb5011d25eaa455bfc902158ad18f0de4f3be9e445e23
stl_repository=https://github.com/microsoft/STL.git
llvm=19
wine_headers=/usr/include/wine/wine
wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

# The system DLLs whose import libraries are made; the C and C++ runtimes' come on top.
system_dlls=(kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 winhttp crypt32 bcrypt
  ws2_32 mswsock dbghelp shlwapi secur32 version ntdll psapi iphlpapi userenv rpcrt4 winmm)
runtime_sources=(initializers onexit dll_main dll_main_default exe_main exe_wmain exe_winmain
  new_delete thread_safe_statics tls type_info misc security_cookie)
stl_static_sources=(nothrow locale0_implib sharedmutex xonce2 syserror_import_lib charconv cond mutex xtime
  xcharconv_ryu_tables)

mode=build
case "${1:-}" in
  "") ;;
  --print-prefix) mode=print ;;
  -h | --help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//' && exit 0 ;;
  *) echo "usage: $0 [--print-prefix]" >&2 && exit 2 ;;
esac

cache_root="${LUMO_MSVC_TOOLCHAIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumoapi/msvc-toolchain}"
case "$cache_root" in /*) ;; *) cache_root="$PWD/$cache_root" ;; esac
say() { echo "msvc-toolchain: $*" >&2; }

package_versions() {
  dpkg-query -W -f='${Package} ${Version}\n' "clang-$llvm" "clang-tools-$llvm" "lld-$llvm" \
    "llvm-$llvm" libwine-dev libwine 2>/dev/null || true
}

prefix_key() {
  {
    echo "$stl_commit"
    package_versions
    cd "$repo"
    find scripts/msvc-toolchain.sh scripts/windows/msvc scripts/windows/patches/wine-headers \
      -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum
  } | sha256sum | cut -c1-16
}

key="$(prefix_key)"
prefix="$cache_root/$key"

if [ "$mode" = print ]; then
  [ -f "$prefix/toolchain.txt" ] || { say "$prefix is not made; run $0" && exit 1; }
  echo "$prefix"
  exit 0
fi

require_tools() {
  local tool missing=()
  for tool in "clang-cl-$llvm" "lld-link-$llvm" "llvm-lib-$llvm" "llvm-nm-$llvm" python3 patch flock; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  [ -d "$wine_headers/msvcrt" ] || missing+=(libwine-dev)
  [ -f "$wine_dlls/ucrtbase.dll" ] || missing+=(wine64)
  [ ${#missing[@]} -eq 0 ] || { say "missing ${missing[*]}: run scripts/setup.sh" && return 1; }
}

# Unpacks the STL's stl/inc and stl/src into $1, from an archive whose checksum is the pinned one
# or a checkout at the pinned commit.
unpack_stl() {
  local into="$1" source="${LUMO_MSVC_STL:-}"
  if [ -z "$source" ] && [ -d "$repo/../shared/msvc-stl" ]; then
    source="$repo/../shared/msvc-stl/STL-$stl_commit.tar.gz"
  fi
  if [ -n "$source" ] && [ -f "$source" ]; then
    local sum
    sum="$(sha256sum "$source" | cut -d' ' -f1)"
    [ "$sum" = "$stl_archive_sha256" ] ||
      { say "$source is not the pinned archive (sha256 $sum)" && return 1; }
    tar -xzf "$source" -C "$into"
    mv "$into/STL-$stl_commit" "$into/STL"
  else
    if [ -z "$source" ]; then
      source="$into/clone"
      say "cloning the STL at $stl_commit"
      git clone --quiet --filter=blob:none --no-checkout "$stl_repository" "$source" >&2
      git -C "$source" checkout --quiet "$stl_commit" -- stl/inc stl/src LICENSE.txt NOTICE.txt
    fi
    local head
    head="$(git -C "$source" rev-parse HEAD 2>/dev/null || true)"
    [ "$head" = "$stl_commit" ] ||
      { say "$source is not a checkout of $stl_commit (it is at ${head:-no commit})" && return 1; }
    mkdir -p "$into/STL"
    cp -r "$source/stl" "$source/LICENSE.txt" "$source/NOTICE.txt" "$into/STL/"
  fi
}

# Writes the import library NAME.lib of Wine's DLL into the folder given, without the names that
# the static runtime defines ($work/static.names) or, when given, those of a file of names.
import_library() {
  local file="$1" into="$2" name="${1%.*}" excluded="${3:-$work/static.names}"
  python3 "$msvc_dir/pe_exports_def.py" --exclude "$excluded" "$wine_dlls/$file" "$file" \
    >"$work/$name.def"
  "llvm-lib-$llvm" /nologo /machine:x64 "/def:$work/$name.def" "/out:$into/$name.lib" >/dev/null
}

make_prefix() {
  require_tools
  mkdir -p "$cache_root"
  exec 9>"$cache_root/$key.lock"
  flock 9
  [ -f "$prefix/toolchain.txt" ] && return 0

  local stage="$cache_root/.$key.stage"
  work="$stage/work"
  rm -rf "$stage"
  mkdir -p "$work" "$stage/include" "$stage/lib" "$stage/share"

  say "headers"
  unpack_stl "$work"
  cp -r "$work/STL/stl/inc" "$stage/include/stl"
  cp "$work/STL/LICENSE.txt" "$stage/share/STL-LICENSE.txt"
  cp "$work/STL/NOTICE.txt" "$stage/share/STL-NOTICE.txt"
  cp -r "$msvc_dir/include" "$stage/include/vcrt"
  cp -r "$wine_headers/msvcrt" "$stage/include/crt"
  cp -r "$wine_headers/windows" "$stage/include/sdk"
  local patch_file
  for patch_file in "$patch_dir"/*.patch; do
    patch -d "$stage/include" -p1 --batch --quiet --forward --no-backup-if-mismatch -i "$patch_file" >&2
  done
  # Wine's C runtime has POSIX headers that Visual C++'s has not; a configure step that finds them
  # takes the wrong road (glog's unistd.h).
  rm -f "$stage/include/crt/unistd.h" "$stage/include/crt/sys/unistd.h" "$stage/include/crt/dirent.h"
  # The C++ library's sources spell it so; Windows' file system does not mind the case.
  ln -s windows.h "$stage/include/sdk/Windows.h"

  say "runtime support"
  local includes=(-imsvc "$stage/include/stl" -imsvc "$stage/include/vcrt" -imsvc "$stage/include/crt"
    -imsvc "$stage/include/sdk")
  local compile=("clang-cl-$llvm" --target=x86_64-pc-windows-msvc -fms-compatibility-version=19.44
    /nologo /std:c++17 /EHsc /MD /GS- /O2 /Zl /Z7 /DNOMINMAX /DWIN32_LEAN_AND_MEAN "${includes[@]}")
  local source objects=() stl_objects=()
  for source in "${runtime_sources[@]}"; do
    "${compile[@]}" /c "/Fo$work/$source.obj" -- "$msvc_dir/runtime/$source.cc" >&2
    objects+=("$work/$source.obj")
  done
  for source in "${stl_static_sources[@]}"; do
    "${compile[@]}" /D_CRTBLD /FIwindows.h "/I$work/STL/stl/src" "/I$msvc_dir/stl-internal" /c \
      "/Fo$work/stl_$source.obj" -- "$work/STL/stl/src/$source.cpp" >&2
    stl_objects+=("$work/stl_$source.obj")
  done
  echo 'int lumo_oldnames_placeholder;' >"$work/oldnames.c"
  "clang-cl-$llvm" --target=x86_64-pc-windows-msvc /nologo /Zl /c "/Fo$work/oldnames.obj" -- "$work/oldnames.c"

  say "import libraries"
  "llvm-nm-$llvm" --defined-only --extern-only --format=just-symbols "${objects[@]}" \
    "${stl_objects[@]}" | sort -u >"$work/static.names"
  local dll
  for dll in "${system_dlls[@]}" vcruntime140 msvcp140; do
    import_library "$dll.dll" "$stage/lib"
  done
  import_library winspool.drv "$stage/lib"
  for dll in vcruntime140_1 msvcp140_1 msvcp140_2; do
    import_library "$dll.dll" "$work"
  done
  # Wine's ucrtbase also exports what Windows keeps in vcruntime140 (memcpy, the exception
  # handlers, __std_exception_copy, ...). Visual Studio's programs take those from vcruntime140,
  # and so do ours: ucrtbase's import library leaves them out.
  cat "$work/static.names" >"$work/ucrtbase.excluded"
  sed -n '/^EXPORTS$/,$p' "$work/vcruntime140.def" "$work/vcruntime140_1.def" |
    awk '$1 != "EXPORTS" {print $1}' >>"$work/ucrtbase.excluded"
  import_library ucrtbase.dll "$stage/lib" "$work/ucrtbase.excluded"

  local lib="llvm-lib-$llvm"
  # The runtime DLLs' own import libraries stay in lib/ too, for a link line that names them.
  "$lib" /nologo "/out:$stage/lib/msvcrt.lib" "${objects[@]}" "$stage/lib/vcruntime140.lib" \
    "$work/vcruntime140_1.lib" "$stage/lib/ucrtbase.lib"
  "$lib" /nologo "/out:$stage/lib/msvcprt.lib" "${stl_objects[@]}" "$stage/lib/msvcp140.lib" \
    "$work/msvcp140_1.lib" "$work/msvcp140_2.lib"
  "$lib" /nologo "/out:$stage/lib/oldnames.lib" "$work/oldnames.obj"
  # What CMake's compiler check links by default and Wine has no DLL for: empty stand-ins.
  cp "$stage/lib/oldnames.lib" "$stage/lib/uuid.lib"

  {
    echo "# Made by scripts/msvc-toolchain.sh"
    echo "STL $stl_commit"
    package_versions
  } >"$stage/toolchain.txt"
  rm -rf "$work" "$prefix"
  mv "$stage" "$prefix"
  say "made $prefix"
}

[ -f "$prefix/toolchain.txt" ] || make_prefix
echo "$prefix"
