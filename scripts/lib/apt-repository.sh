# Makes a signed apt repository folder from a package: the package, its
# index (Packages, Packages.gz), the release file signed two ways (InRelease,
# Release.gpg) and the public key (velmar-erp-archive-keyring.gpg). An
# office serves the folder from any web server as a flat repository:
#   deb [signed-by=/usr/share/keyrings/velmar-erp-archive-keyring.gpg] http://server/path/ ./
# Sourced by scripts/package, not run.

# velmar_demo_signing_home <build dir>: a signing key for demo packages,
# made once per build folder (no passphrase; never for a real service).
velmar_demo_signing_home() {
  local home
  home="$(cd "$1" && pwd)/demo-signing"
  if [ ! -s "$home/key-id" ]; then
    rm -rf "$home"
    mkdir -p "$home"
    chmod 700 "$home"
    GNUPGHOME="$home" gpg --batch --quiet --passphrase '' \
      --quick-generate-key "Velmar ERP demo packages <demo@velmar.invalid>" ed25519 sign never
    GNUPGHOME="$home" gpg --batch --list-keys --with-colons | awk -F: '/^fpr:/ { print $10; exit }' > "$home/key-id"
  fi
  echo "$home"
}

# velmar_apt_repository <deb> <repository dir> <GNUPGHOME> <key id>
velmar_apt_repository() {
  local deb="$1" repo="$2" home="$3" key="$4"
  case "$home" in /*) ;; *) home="$PWD/$home" ;; esac
  rm -rf "$repo"
  mkdir -p "$repo"
  cp "$deb" "$repo/"
  case "$repo" in /*) ;; *) repo="$PWD/$repo" ;; esac
  (
    cd "$repo"
    apt-ftparchive packages . > Packages
    gzip -9kn Packages
    apt-ftparchive \
      -o APT::FTPArchive::Release::Origin="Velmar ERP" \
      -o APT::FTPArchive::Release::Label="Velmar ERP client" \
      -o APT::FTPArchive::Release::Suite=stable \
      -o APT::FTPArchive::Release::Architectures="$(dpkg --print-architecture)" \
      release . > "$repo.Release"
    mv "$repo.Release" Release
    GNUPGHOME="$home" gpg --batch --yes --quiet --local-user "$key" --clearsign -o InRelease Release
    GNUPGHOME="$home" gpg --batch --yes --quiet --local-user "$key" --armor --detach-sign -o Release.gpg Release
    GNUPGHOME="$home" gpg --batch --yes --quiet --export "$key" > velmar-erp-archive-keyring.gpg
  )
}
