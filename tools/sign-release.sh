#!/usr/bin/env bash
# Signs the Windows programs of a release with Authenticode (Debian's osslsigncode), so Windows names
# the publisher instead of warning of an unknown one, then checks each signature.
#
# Usage: tools/sign-release.sh [--timestamp URL] [FILE.exe...]
#   Without files: signs quillmast.exe and quillctl.exe of the Windows tree (build/win, or $QM_BUILD_WIN)
#   and makes the ZIP again from them (build/packages, or $QM_PACKAGES). With files: signs those, in place.
#
# The certificate is whoever releases' own, never kept in the repository; it is named by the environment:
#   QM_SIGN_CERT       the code-signing certificate with its chain (PEM or DER), and
#   QM_SIGN_KEY        its private key; or instead of both
#   QM_SIGN_PKCS12     a PKCS#12 file holding certificate, chain and key.
#   QM_SIGN_PASS_FILE  a file whose first line is the key's passphrase. Without it the passphrase is asked
#                      on the terminal when there is one. It is never given as an option value, where
#                      other users of the machine could read it.
#   QM_SIGN_TIMESTAMP  (or --timestamp) an RFC 3161 time stamp server: the signature then stays valid after
#                      the certificate expires. Without one the files are signed without a time stamp.
#   QM_SIGN_CAFILE     the certificates the signature is checked against afterwards (default: the
#                      system's, /etc/ssl/certs/ca-certificates.crt).
# Exit status: 0 every file signed and checked; 1 signing or checking failed; 2 bad usage.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WIN_TREE=${QM_BUILD_WIN:-$ROOT/build/win}
PACKAGES=${QM_PACKAGES:-$ROOT/build/packages}
TIMESTAMP=${QM_SIGN_TIMESTAMP:-}
CAFILE=${QM_SIGN_CAFILE:-/etc/ssl/certs/ca-certificates.crt}

usage() {
    echo "sign-release: $1 (usage: tools/sign-release.sh [--timestamp URL] [FILE.exe...])" >&2
    exit 2
}

files=()
while (($#)); do
    case $1 in
    --timestamp)
        (($# >= 2)) || usage "--timestamp needs a URL"
        TIMESTAMP=$2
        shift 2
        ;;
    --help | -h)
        sed -n '2,21p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    -*) usage "unknown option $1" ;;
    *)
        files+=("$1")
        shift
        ;;
    esac
done

remake_zip=""
if ((${#files[@]} == 0)); then
    files=("$WIN_TREE/bin/quillmast.exe" "$WIN_TREE/bin/quillctl.exe")
    remake_zip=1
fi
for file in "${files[@]}"; do
    [[ -f $file ]] || usage "$file does not exist (build the Windows tree first: tools/build.sh win)"
done

command -v osslsigncode >/dev/null || {
    echo "sign-release: osslsigncode is missing: run tools/install-deps.sh" >&2
    exit 1
}

signer=()
if [[ -n ${QM_SIGN_PKCS12:-} ]]; then
    [[ -f $QM_SIGN_PKCS12 ]] || usage "QM_SIGN_PKCS12 $QM_SIGN_PKCS12 is no file"
    signer=(-pkcs12 "$QM_SIGN_PKCS12")
elif [[ -n ${QM_SIGN_CERT:-} && -n ${QM_SIGN_KEY:-} ]]; then
    [[ -f $QM_SIGN_CERT ]] || usage "QM_SIGN_CERT $QM_SIGN_CERT is no file"
    [[ -f $QM_SIGN_KEY ]] || usage "QM_SIGN_KEY $QM_SIGN_KEY is no file"
    signer=(-certs "$QM_SIGN_CERT" -key "$QM_SIGN_KEY")
else
    usage "name the certificate: QM_SIGN_CERT and QM_SIGN_KEY, or QM_SIGN_PKCS12"
fi
if [[ -n ${QM_SIGN_PASS_FILE:-} ]]; then
    [[ -f $QM_SIGN_PASS_FILE ]] || usage "QM_SIGN_PASS_FILE $QM_SIGN_PASS_FILE is no file"
    signer+=(-readpass "$QM_SIGN_PASS_FILE")
elif [[ -t 0 ]]; then
    signer+=(-askpass)
fi
stamp=()
[[ -z $TIMESTAMP ]] || stamp=(-ts "$TIMESTAMP")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for file in "${files[@]}"; do
    name=$(basename "$file")
    # Signed beside, then moved over the original only once the signature checks.
    if ! osslsigncode sign "${signer[@]}" "${stamp[@]}" -h sha256 -n "Quillmast" \
        -in "$file" -out "$scratch/$name" >"$scratch/sign.log" 2>&1; then
        echo "sign-release: signing $file failed:" >&2
        cat "$scratch/sign.log" >&2
        exit 1
    fi
    if ! osslsigncode verify -CAfile "$CAFILE" -in "$scratch/$name" >"$scratch/verify.log" 2>&1; then
        echo "sign-release: the signature of $file does not check against $CAFILE:" >&2
        cat "$scratch/verify.log" >&2
        exit 1
    fi
    cat "$scratch/$name" >"$file"
    echo "sign-release: $file signed${TIMESTAMP:+ and time-stamped}"
done

if [[ -n $remake_zip ]]; then
    # CPack installs the tree's files as they are now, signed; nothing is built again.
    mkdir -p "$PACKAGES"
    (cd "$WIN_TREE" && cpack -B "$PACKAGES") | grep -E '^CPack: - package: '
    rm -rf "$PACKAGES/_CPack_Packages"
fi
