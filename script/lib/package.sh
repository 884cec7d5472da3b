# Sourced by script/package and the installer tests: builds one MSI package with wixl.

# The product's one version, which the packages carry too.
ZELTRA_VERSION=$(sed -n 's/^project(DODuruda_Vored VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# Every package: architecture and scope, and the file it is built into below build/installer.
ZELTRA_PACKAGES=("x64 machine Zeltra-x64.msi" "x86 machine Zeltra-x86.msi"
                 "x64 user Zeltra-x64-user.msi" "x86 user Zeltra-x86-user.msi")

# build_package ARCH SCOPE VERSION OUTPUT: ARCH x64 packs build/win64/bin, x86 build/win32/bin;
# SCOPE machine (for every user) or user (for the one who installs it). Every package carries
# the 64-bit custom action of build/win64/bin.
build_package() {
  local arch=$1 scope=$2 version=$3 output=$4 bin file
  case $arch in
    x64) bin=build/win64/bin ;;
    x86) bin=build/win32/bin ;;
    *) echo "package: no such architecture: $arch" >&2; return 1 ;;
  esac
  for file in "$bin/cvredir.htm" build/win64/bin/ZeltraSetupChecks.dll; do
    if [ ! -f "$file" ]; then
      echo "package: $file is missing: the packages carry it, and the build is to make it there" >&2
      return 1
    fi
  done
  mkdir -p "$(dirname "$output")"
  wixl -a "$arch" -D Platform="$arch" -D Scope="$scope" -D ProductVersion="$version" -D BinDir="$bin" \
    -D ChecksDll=build/win64/bin/ZeltraSetupChecks.dll -o "$output" installer/Zeltra.wxs
}
