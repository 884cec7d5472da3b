# Sourced by script/package and the installer tests: stages what the packages carry (signed when a
# certificate is given) and builds one MSI package with wixl.

# The product's one version, which the packages carry too.
ZELTRA_VERSION=$(sed -n 's/^project(DODuruda_Vored VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# Every package: architecture and scope, and the file it is built into below build/installer.
ZELTRA_PACKAGES=("x64 machine Zeltra-x64.msi" "x86 machine Zeltra-x86.msi"
                 "x64 user Zeltra-x64-user.msi" "x86 user Zeltra-x86-user.msi")

# The packages take their files from here, copies of the build's: signing them leaves the build's
# own outputs as they are. x64/ and x86/ hold the DLL and the redirect page of each architecture;
# the custom action is beside them.
ZELTRA_STAGING=build/installer/staging

# Signing: a PKCS#12 file with the code-signing certificate and its key, its password (empty for
# none) and, optionally, the address of an RFC 3161 timestamp server.
zeltra_signing() { [ -n "${ZELTRA_SIGN_PFX:-}" ]; }

# sign_file FILE: gives FILE (a PE file or an MSI package) an Authenticode signature, SHA-256, with
# the product's name and the maker's address; stops when signing fails.
sign_file() {
  local file=$1 site args
  site=$(sed -n 's/.*makerWebSite = L"\([^"]*\)".*/\1/p' modules/web_sites.h)
  args=(sign -pkcs12 "$ZELTRA_SIGN_PFX" -h sha256 -n "Corvane Zeltra" -i "$site" -in "$file" -out "$file.signed")
  if [ -n "${ZELTRA_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$ZELTRA_SIGN_TIMESTAMP_URL"); fi
  rm -f "$file.signed"
  # The password goes through a pipe, not the command line, which other users can see.
  if [ -n "${ZELTRA_SIGN_PASSWORD:-}" ]; then
    osslsigncode "${args[@]}" -readpass <(printf '%s' "$ZELTRA_SIGN_PASSWORD") >/dev/null
  else
    osslsigncode "${args[@]}" >/dev/null
  fi || { echo "package: osslsigncode could not sign $file" >&2; rm -f "$file.signed"; return 1; }
  mv "$file.signed" "$file"
}

# stage_files: copies the files the packages carry into ZELTRA_STAGING and signs the DLLs among
# them when a certificate is given.
stage_files() {
  local file arch bin
  for file in build/win64/bin/{DODuruda_Vored.dll,cvredir.htm,ZeltraSetupChecks.dll} \
              build/win32/bin/{DODuruda_Vored.dll,cvredir.htm}; do
    if [ ! -f "$file" ]; then
      echo "package: $file is missing: the packages carry it, and the build is to make it there" >&2
      return 1
    fi
  done
  if zeltra_signing && [ ! -f "$ZELTRA_SIGN_PFX" ]; then
    echo "package: ZELTRA_SIGN_PFX names no file: $ZELTRA_SIGN_PFX" >&2
    return 1
  fi
  rm -rf "$ZELTRA_STAGING"
  mkdir -p "$ZELTRA_STAGING/x64" "$ZELTRA_STAGING/x86"
  for arch in x64 x86; do
    bin=build/win64/bin; [ "$arch" = x86 ] && bin=build/win32/bin
    cp "$bin/DODuruda_Vored.dll" "$bin/cvredir.htm" "$ZELTRA_STAGING/$arch/"
  done
  cp build/win64/bin/ZeltraSetupChecks.dll "$ZELTRA_STAGING/"
  if zeltra_signing; then
    for file in "$ZELTRA_STAGING"/x64/DODuruda_Vored.dll "$ZELTRA_STAGING"/x86/DODuruda_Vored.dll \
                "$ZELTRA_STAGING"/ZeltraSetupChecks.dll; do
      sign_file "$file"
    done
  fi
}

# build_package ARCH SCOPE VERSION OUTPUT: ARCH x64 packs the staged x64 files, x86 the x86 ones;
# SCOPE machine (for every user) or user (for the one who installs it). Every package carries the
# 64-bit custom action. The package is signed when a certificate is given.
build_package() {
  local arch=$1 scope=$2 version=$3 output=$4 file
  case $arch in
    x64|x86) ;;
    *) echo "package: no such architecture: $arch" >&2; return 1 ;;
  esac
  for file in "$ZELTRA_STAGING/$arch/DODuruda_Vored.dll" "$ZELTRA_STAGING/$arch/cvredir.htm" \
              "$ZELTRA_STAGING/ZeltraSetupChecks.dll"; do
    if [ ! -f "$file" ]; then
      echo "package: $file is missing: stage_files (script/package) puts it there" >&2
      return 1
    fi
  done
  mkdir -p "$(dirname "$output")"
  wixl -a "$arch" -D Platform="$arch" -D Scope="$scope" -D ProductVersion="$version" \
    -D BinDir="$ZELTRA_STAGING/$arch" -D ChecksDll="$ZELTRA_STAGING/ZeltraSetupChecks.dll" -o "$output" installer/Zeltra.wxs
  if zeltra_signing; then sign_file "$output"; fi
}
