# Sourced by script/package and the installer tests: builds one MSI package with wixl.

# The product's one version, which the packages carry too.
ZELTRA_VERSION=$(sed -n 's/^project(DODuruda_Vored VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# build_package ARCH VERSION OUTPUT: ARCH x64 packs build/win64/bin, x86 build/win32/bin.
build_package() {
  local arch=$1 version=$2 output=$3 bin
  case $arch in
    x64) bin=build/win64/bin ;;
    x86) bin=build/win32/bin ;;
    *) echo "package: no such architecture: $arch" >&2; return 1 ;;
  esac
  if [ ! -f "$bin/cvredir.htm" ]; then
    echo "package: the redirect page $bin/cvredir.htm is missing: the packages install it beside the" \
         "DLL, and the build is to make it there" >&2
    return 1
  fi
  mkdir -p "$(dirname "$output")"
  wixl -a "$arch" -D Platform="$arch" -D ProductVersion="$version" -D BinDir="$bin" -o "$output" installer/Zeltra.wxs
}
