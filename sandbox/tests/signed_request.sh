#!/usr/bin/env bash
# Builds an encrypted, signed request with nothing but the openssl and curl command-line tools,
# checks that the sandbox accepts it, and that the same request with one character of "sign"
# changed is refused. Usage: signed_request.sh [RUNNER...] PATH/TO/lumo-sandbox (a Windows one
# after the command that runs it under Wine)
set -euo pipefail

out=$(mktemp)
"$@" --port 0 --db :memory: >"$out" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do
  grep -q listening "$out" && break
  sleep 0.1
done
# A Windows sandbox ends its lines with CR LF.
port=$(tr -d '\r' <"$out" | grep -o '[0-9]*$' | head -n 1)

token=sbx-ordinary-7f3a9c21
ts=$(date +%s)
inner="format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&offset=0&source=0&type=10"
key=$(printf '%s' "qorvel_amber_tune_signer_key$ts" | openssl md5 -r | cut -c9-24)
key_hex=$(printf '%s' "$key" | od -An -tx1 | tr -d ' \n')
param=$(printf '%s' "$inner" | openssl enc -aes-128-cbc -K "$key_hex" -iv "$key_hex" -base64 -A)
sign=$(printf '%s' "velmar_quint_hush$param$ts" | openssl md5 -r | cut -c1-32)
# The client leaves "+" and "/" as they are and writes "=" as %3D.
param_in_query=${param//=/%3D}

ask() {
  curl -s -A qxpc_1.0.0 -e http://www.lumo.example -H "Cookie: KWTOK=$token" \
    "http://127.0.0.1:$port/v1/restserver/lumo?method=norda.lumo.ugcdiy.userList&timestamp=$ts&param=$param_in_query&sign=$1"
}

accepted=$(ask "$sign")
echo "signed: $accepted" | cut -c1-160
grep -q '"error_code":22000' <<<"$accepted"
grep -q '"listinfo"' <<<"$accepted"

first=${sign:0:1}
if [ "$first" = "0" ]; then other=1; else other=0; fi
refused=$(ask "$other${sign:1}")
echo "one byte changed: $refused"
grep -q '"error_code":40003' <<<"$refused"
echo PASS
