# A product web site for the updater's end-to-end scripts, on 127.0.0.1 only. Source it
# with SIGN (the signing tool) and WORK (a private folder) set, then:
#   site_start            makes keys (maker.pem, stranger.pem), a test authority trusted
#                         through SSL_CERT_FILE, and serves WORK/site over HTTPS and HTTP
#                         ($https, $http_port); site_stop ends the server
#   make_update NAME KEY VERSION IDENTIFIER
#                         signs a copy of $bundle as the maker would and packs it into site/NAME
#   feed NAME VERSION URL SHA256   writes site/NAME.json and prints its address
#   sha FILE, fingerprint FOLDER   a digest; every path with kind, rights, link and content

SITE_PID=

site_start() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    (
        cd "$WORK"
        openssl genpkey -algorithm ed25519 -out maker.pem
        openssl genpkey -algorithm ed25519 -out stranger.pem
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out ca.pem \
            -days 2 -subj "/CN=Ombrel Test Authority" -addext basicConstraints=critical,CA:TRUE \
            -addext keyUsage=critical,keyCertSign,cRLSign
        openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout server.key -out server.csr \
            -subj "/CN=127.0.0.1"
        printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >server.ext
        openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 \
            -extfile server.ext
    ) >/dev/null 2>&1 || return 1
    export SSL_CERT_FILE="$WORK/ca.pem"
    mkdir -p "$WORK/site"
    timeout 900 /usr/bin/python3 "$here/update_server.py" "$WORK/site" "$WORK/server.pem" "$WORK/server.key" \
        >"$WORK/ports" 2>"$WORK/server.log" &
    SITE_PID=$!
    for _ in $(seq 100); do [[ -s "$WORK/ports" ]] && break; sleep 0.1; done
    read -r https_port http_port <"$WORK/ports" || { cat "$WORK/server.log" >&2; return 1; }
    https="https://127.0.0.1:$https_port"
}

site_stop() {
    if [[ -n "$SITE_PID" ]]; then kill "$SITE_PID" 2>/dev/null || true; wait "$SITE_PID" 2>/dev/null || true; fi
    SITE_PID=
}

make_update() { # name key version identifier
    local name=$1 key=$2 new_version=$3 identifier=$4
    local stage="$WORK/stage-$name/ombrel-capture"
    rm -rf "$stage" && mkdir -p "$(dirname "$stage")"
    cp -a "$bundle" "$stage"
    printf '{"identifier": "%s", "version": "%s"}\n' "$identifier" "$new_version" \
        >"$stage/share/ombrel-capture/bundle.json"
    "$SIGN" --key "$WORK/$key" "$stage" 2>/dev/null
    "$SIGN" pack "$stage" "$WORK/site/$name" >/dev/null
}

sha() { sha256sum "$1" | cut -d' ' -f1; }

feed() { # name version url sha256
    printf '{"version": "%s", "url": "%s", "sha256": "%s"}\n' "$2" "$3" "$4" >"$WORK/site/$1.json"
    echo "$https/$1.json"
}

fingerprint() {
    (cd "$1" && find . -printf '%p %y %m %l\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
