#!/usr/bin/env bash
# sign.sh <pkcs12> <in> <out> [<timestamp-url>]
# Authenticode-signs a Windows executable with osslsigncode: SHA-256, the
# description "Velmora", and a time stamp when a URL is given. <out> may be
# <in> (signed in place). The key's password is read from the environment
# variable VELMORA_SIGN_PASSWORD here, at build time, and handed to
# osslsigncode through a pipe: it is never on a command line, in a file or in
# the output. On failure <out> is removed, so the build does not take an
# unsigned file for a finished one.
set -euo pipefail
if [[ $# -lt 3 || $# -gt 4 ]]; then
    echo "usage: sign.sh <pkcs12> <in> <out> [<timestamp-url>]" >&2
    exit 2
fi
key=$1 in=$2 out=$3 url=${4:-}
tmp=$out.signing
fail() {
    rm -f "$out" "$tmp"
    echo "sign.sh: $1" >&2
    exit 1
}
[[ -v VELMORA_SIGN_PASSWORD ]] ||
    fail "VELMORA_SIGN_PASSWORD is not set (set it to the password of $key, empty if it has none)"
[[ -r $key ]] || fail "cannot read the signing key $key"

args=(sign -pkcs12 "$key" -h sha256 -n Velmora)
[[ -z $url ]] || args+=(-t "$url")
rm -f "$tmp"
if [[ -n $VELMORA_SIGN_PASSWORD ]]; then
    # printf is a shell builtin: the password is never an argument of a process.
    osslsigncode "${args[@]}" -readpass /dev/fd/3 -in "$in" -out "$tmp" >/dev/null \
        3< <(printf '%s' "$VELMORA_SIGN_PASSWORD") || fail "signing $in failed"
else
    osslsigncode "${args[@]}" -in "$in" -out "$tmp" </dev/null >/dev/null || fail "signing $in failed"
fi
chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
