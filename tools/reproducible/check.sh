#!/usr/bin/env bash
# Builds one commit twice and compares what a release is made of, byte for byte: the
# Linux vudcheck and manual page that `cmake --install` puts in place, and the Windows
# packages (ZIPs and, with wixl, installer packages) with their SHA256SUMS, all
# unsigned. Exits 1 naming every file that differs.
#
#   tools/reproducible/check.sh [--work FOLDER] [--presets LINUX,WINDOWS...] [--reuse FOLDER,...] [COMMIT]
#     (default: build-repro, presets default,mingw-wine,mingw32-wine, HEAD)
#
# The two builds share the commit, the toolchain and the configure presets (the first
# for the Linux build, the others for the Windows builds, each of which adds its ZIP to
# SHA256SUMS; tests are not built), and differ in everything a release must not
# depend on:
#   first:  a git clone, at a short path; file times of the checkout; the release time
#           from the commit; time zone UTC; umask 022; the clock as it is;
#   second: the sources unpacked from `git archive` (no history, file times of the
#           commit) at a longer path; SOURCE_DATE_EPOCH set to the commit time; time
#           zone UTC+05:45; umask 002; the clock a year and a month ahead (with faketime,
#           when installed).
# With --reuse, the first build is the one already in the given build folders of the
# repository, one for each preset in order (CI's, made from a clean clone of COMMIT with
# tests and all, so the check builds once instead of twice): the repository must be at
# COMMIT with no change to tracked files. Whatever building the tests as well might add
# to the programs then shows as a difference too.
set -euo pipefail

presets=(default mingw-wine mingw32-wine)

# Runs one step of a build with its output in <log>; shows the end of it if it fails.
step() {
  local log=$1
  shift
  "$@" >>"$log" 2>&1 || { echo "failed: $* (in $PWD)"; tail -n 30 "$log"; return 1; }
}

# Installs or packages the build of <preset> in the folder <build> into <out>: the Linux
# build (the first preset) installed, each Windows build installed as linked, with its
# debug information (the package strips it), and packaged.
release_files() {
  local preset=$1 build=$2 out=$3 log
  log=$(dirname "$out")/release-files-$preset.log
  if [[ $preset == "${presets[0]}" ]]; then
    DESTDIR=$out/linux step "$log" cmake --install "$build" --prefix /usr/local
  else
    DESTDIR=$out/$preset step "$log" cmake --install "$build" --prefix /vudcheck
    step "$log" cpack --config "$build/CPackConfig.cmake" -B "$out/packages"
  fi
}

# Configures, builds and installs or packages one copy of the sources into <copy>/out;
# the script runs itself for this (--build-copy), so that faketime can wrap it.
build() {
  local sources=$1 out=$1/out preset
  cd "$sources"
  for preset in "${presets[@]}"; do
    step "build-$preset.log" cmake --preset "$preset" -B "build-$preset" -DBUILD_TESTING=OFF
    step "build-$preset.log" cmake --build "build-$preset" -j"$jobs"
    release_files "$preset" "$PWD/build-$preset" "$out"
  done
}

# Unsigned, whatever the caller's environment holds: signing is the one step that a
# rebuild cannot repeat without the key.
unset VUDCHECK_SIGNING_PKCS12 VUDCHECK_SIGNING_PASSWORD

if [[ ${1-} == --build-copy ]]; then
  jobs=$3
  IFS=, read -r -a presets <<<"$4"
  build "$2"
  exit
fi

repository=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$repository/build-repro
revision=HEAD
first_builds=()
while (($#)); do
  case $1 in
    --work) work=$(realpath -m "$2"); shift 2 ;;
    --presets) IFS=, read -r -a presets <<<"$2"; shift 2 ;;
    --reuse) IFS=, read -r -a first_builds <<<"$2"; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) revision=$1; shift ;;
  esac
done

commit=$(git -C "$repository" rev-parse --verify "$revision^{commit}")
commit_time=$(git -C "$repository" log -1 --format=%ct "$commit")
jobs=$(nproc 2>/dev/null || echo 2)

rm -rf "$work"
first=$work/1/vudcheck
second=$work/second-build-from-an-unpacked-source-archive/vudcheck-${commit:0:12}
mkdir -p "$first" "$second"
git -C "$repository" archive "$commit" | tar -x -C "$second"

echo "== commit $commit, committed $(date -u -d "@$commit_time" '+%Y-%m-%d %H:%M:%S UTC')"
if ((${#first_builds[@]})); then
  if [[ $(git -C "$repository" rev-parse HEAD) != "$commit" ]] ||
     [[ -n $(git -C "$repository" status --porcelain --untracked-files=no) ]]; then
    echo "--reuse: $repository is not at $commit without changes, so its builds are not of $commit" >&2
    exit 2
  fi
  ((${#first_builds[@]} == ${#presets[@]})) || { echo "--reuse: one build folder for each of ${presets[*]}" >&2; exit 2; }
  for index in "${!first_builds[@]}"; do
    first_builds[index]=$(realpath "${first_builds[index]}")
    [[ -f ${first_builds[index]}/CMakeCache.txt ]] || { echo "--reuse: no build in ${first_builds[index]}" >&2; exit 2; }
  done
  echo "== first build: the repository's own, in ${first_builds[*]}"
  for index in "${!presets[@]}"; do
    release_files "${presets[index]}" "${first_builds[index]}" "$first/out"
  done
else
  git clone --quiet --shared --no-checkout "$repository" "$first"
  git -C "$first" -c advice.detachedHead=false checkout --quiet --detach "$commit"
  echo "== first build, in $first"
  (unset SOURCE_DATE_EPOCH; umask 022; export TZ=UTC0 LC_ALL=C
   bash "$0" --build-copy "$first" "$jobs" "$(IFS=,; echo "${presets[*]}")")
  first_builds=("${presets[@]/#/$first/build-}")
fi

clock_ahead=()
if command -v faketime >/dev/null; then
  clock_ahead=(faketime -f +396d)
else
  echo "   (faketime is not installed: the second build runs only later, not a year ahead)"
fi
echo "== second build, in $second"
(umask 002; export SOURCE_DATE_EPOCH=$commit_time TZ=NPT-5:45 LC_ALL=C.UTF-8
 "${clock_ahead[@]}" bash "$0" --build-copy "$second" "$jobs" "$(IFS=,; echo "${presets[*]}")")

echo "== toolchain (a rebuild must use the same)"
cmake --version | head -1
# The Debian packages that hold the given programs, with their versions.
packages_of() {
  command -v dpkg-query >/dev/null || return 0
  local file
  for file in "$@"; do
    [[ -e $file ]] && dpkg-query -S "$(realpath "$file")" 2>/dev/null | sed 's/:.*//; s/, /\n/g'
  done |
    sort -u | xargs -r dpkg-query -W -f='${Package}=${Version} ' 2>/dev/null || true
}
for index in "${!presets[@]}"; do
  build=${first_builds[index]}
  compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake)
  linker=$("$compiler" -print-prog-name=ld)
  echo "${presets[index]}: $("$compiler" --version | head -1); $("$linker" --version | head -1)"
  # The compiler, the linker, and what they put into every program: the compiler's own
  # libraries and the C runtime (glibc's, or mingw-w64's msvcrt import library).
  echo "   Debian packages: $(packages_of "$(command -v "$compiler")" "$(command -v "$linker")" \
    "$("$compiler" -print-prog-name=cc1plus)" "$("$compiler" -print-libgcc-file-name)" \
    "$("$compiler" -print-file-name=libstdc++.a)" "$("$compiler" -print-file-name=crt1.o)" \
    "$("$compiler" -print-file-name=libmsvcrt.a)")"
done
zip -v | sed -n 2p | sed 's/^ *//'
if command -v wixl >/dev/null; then
  echo "wixl $(wixl --version)"
fi
echo "Debian packages of the release tools: $(packages_of "$(command -v cmake)" "$(command -v zip)" \
  $(command -v wixl msibuild faketime))"

# Prints where two files first differ, and inside a ZIP which entries differ.
explain() {
  local a=$1 b=$2 first_difference
  first_difference=$(cmp "$a" "$b" 2>&1 | sed -n 's/.*differ: byte \([0-9]*\).*/\1/p') || true
  if [[ -n $first_difference ]]; then
    echo "   first difference at byte offset $((first_difference - 1)) (sizes $(stat -c %s "$a") and $(stat -c %s "$b"));" \
         "$(cmp -l "$a" "$b" 2>/dev/null | wc -l) bytes differ"
  else
    echo "   $(cmp "$a" "$b" 2>&1 | head -1)"
  fi
  if [[ $a == *.msi ]] && command -v msiinfo >/dev/null; then
    diff <(msiinfo suminfo "$a") <(msiinfo suminfo "$b") | sed -n 's/^\([<>]\)/   summary \1/p' || true
  fi
  if [[ $a == *.zip ]]; then
    local unpacked=$work/unpacked entry
    rm -rf "$unpacked" && mkdir -p "$unpacked/1" "$unpacked/2"
    (cd "$unpacked/1" && cmake -E tar xf "$a") && (cd "$unpacked/2" && cmake -E tar xf "$b")
    if diff -rq "$unpacked/1" "$unpacked/2" >/dev/null; then
      echo "   the entries are the same: the archive's own fields differ (times, order, owners, permissions)"
    else
      diff -rq "$unpacked/1" "$unpacked/2" | grep '^Only in' |
        sed "s|$unpacked/1|the first ZIP|; s|$unpacked/2|the second ZIP|; s/^/   /" || true
      while read -r entry; do
        [[ -f $unpacked/2/$entry ]] || continue
        cmp -s "$unpacked/1/$entry" "$unpacked/2/$entry" && continue
        echo "   $entry:"
        explain "$unpacked/1/$entry" "$unpacked/2/$entry" | sed 's/^/  /'
      done < <(cd "$unpacked/1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    fi
  fi
}

echo "== comparing"
if ! compgen -G "$first/out/packages/*.msi" >/dev/null; then
  echo "   (no installer packages to compare: wixl, msitools or faketime is not installed)"
fi
status=0
outputs() { (cd "$1" && find . -path ./packages/_CPack_Packages -prune -o -type f -printf '%P\n' | LC_ALL=C sort); }
if ! diff <(outputs "$first/out") <(outputs "$second/out") >"$work/file-lists.diff"; then
  echo "DIFFERENT FILES: < only in the first build, > only in the second"
  sed -n 's/^\([<>]\)/   \1/p' "$work/file-lists.diff"
  status=1
fi
while read -r file; do
  [[ -f $second/out/$file ]] || continue
  if cmp -s "$first/out/$file" "$second/out/$file"; then
    echo "same      $file"
  else
    echo "DIFFERS   $file"
    explain "$first/out/$file" "$second/out/$file"
    status=1
  fi
done < <(outputs "$first/out")

for copy in "$first" "$second"; do
  (cd "$copy/out/packages" && sha256sum --quiet -c SHA256SUMS) || { echo "SHA256SUMS does not check in $copy/out/packages"; status=1; }
done

if ((status == 0)); then
  echo "== reproducible: both builds of $commit made the same bytes"
  cat "$first/out/packages/SHA256SUMS"
  (cd "$first/out/linux" && sha256sum usr/local/bin/vudcheck)
else
  echo "== NOT reproducible (builds kept in $work)"
fi
exit "$status"
