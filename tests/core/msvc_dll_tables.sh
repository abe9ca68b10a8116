#!/usr/bin/env bash
# The DLLs built in Visual Studio's ABI, read from their import and export tables (llvm-readobj):
#   - each imports only from Windows itself (WinHTTP and CryptoAPI among it), from Visual C++'s
#     runtime (msvcp140*, vcruntime140*, the UCRT) and from the DLLs shipped beside it: nothing of
#     MinGW's runtime, whose libstdc++ a Visual Studio program cannot share objects with;
#   - none exports a name in GCC's decoration (_Z...);
#   - lumoapi.dll and lumohost.dll export their classes as Microsoft's compiler decorates them,
#     with a native wchar_t (_W): a program built by Visual Studio finds those very names.
# Usage: msvc_dll_tables.sh DLL...
set -euo pipefail
readobj="$(command -v llvm-readobj-19 || command -v llvm-readobj)"

system='kernel32|user32|advapi32|winhttp|crypt32|bcrypt|ncrypt|ws2_32|dbghelp|shell32|ole32|shlwapi|secur32|api-ms-win-[a-z0-9-]+'
visual_cpp='msvcp140(_1|_2|_atomic_wait|_codecvt_ids)?|vcruntime140(_1)?|ucrtbase'
ours='lumoapi|lumohost|cpprest[a-z0-9_]*|glog'
allowed="^($system|$visual_cpp|$ours)\.dll$"

# What each of our DLLs must export, exactly as Visual Studio names it.
declare -A expected=(
  [lumoapi.dll]='??0GetSongLink@song@lumoapi@@QEAA@V?$shared_ptr@VSongInfo@utilities@@@std@@_NV?$basic_string@_WU?$char_traits@_W@std@@V?$allocator@_W@2@@4@12@Z'
  [lumohost.dll]='?Instance@UiLoop@thread@base@@SAAEAV123@XZ'
)

failed=0
fail() {
  echo "$1: $2" >&2
  failed=1
}

for dll in "$@"; do
  name="$(basename "$dll" | tr 'A-Z' 'a-z')"
  imports="$("$readobj" --coff-imports "$dll" | sed -n 's/^ *Name: \(.*\.dll\)$/\1/Ip' |
    tr 'A-Z' 'a-z' | sort -u)"
  [ -n "$imports" ] || fail "$name" "no import table read"
  while read -r import; do
    case "$import" in
      libstdc++-6.dll | libgcc_s_*.dll | libwinpthread-1.dll | msvcrt.dll)
        fail "$name" "imports $import, MinGW's runtime" ;;
      *) grep -qE "$allowed" <<<"$import" || fail "$name" "imports $import, neither Windows nor Visual C++'s runtime" ;;
    esac
  done <<<"$imports"

  exports="$("$readobj" --coff-exports "$dll" | sed -n 's/^ *Name: //p')"
  if grep -q '^_Z' <<<"$exports"; then
    fail "$name" "exports names in GCC's decoration: $(grep -m3 '^_Z' <<<"$exports" | tr '\n' ' ')"
  fi
  if [ -n "${expected[$name]:-}" ] && ! grep -qxF -- "${expected[$name]}" <<<"$exports"; then
    fail "$name" "does not export ${expected[$name]}"
  fi
done
[ "$failed" -eq 0 ] && echo "checked the import and export tables of $# DLLs"
exit "$failed"
