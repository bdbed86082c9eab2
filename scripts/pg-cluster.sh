#!/bin/bash
# A throwaway PostgreSQL cluster for the ledger tests: initdb as the postgres
# user into a temporary folder, a port of its own, password login over TCP on
# 127.0.0.1 only.
#   pg-cluster.sh start FILE   writes the ODBC connection string to FILE (and
#                              nothing when PostgreSQL is not installed: the
#                              database tests then skip)
#   pg-cluster.sh stop FILE    stops the cluster and removes its folder
#   pg-cluster.sh pause FILE   stops the server, keeping the cluster (the tests
#   pg-cluster.sh resume FILE  of a server lost mid-run), and starts it again
set -euo pipefail
action=${1:?start or stop}
file=${2:?file for the connection string}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
# initdb refuses root: the cluster belongs to the postgres user.
as_owner() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

start_server() {  # FOLDER PORT
  as_owner "$bin/pg_ctl" -D "$1/data" -l "$1/server.log" -w -t 30 \
    -o "-p $2 -k $1 -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
}
if [ "$action" = pause ] || [ "$action" = resume ]; then
  folder=$(cat "$file.folder")
  if [ "$action" = pause ]; then
    as_owner "$bin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null
    exit 0
  fi
  start_server "$folder" "$(cat "$folder/port")"
  exit 0
fi
if [ "$action" = stop ]; then
  folder=$(cat "$file.folder" 2>/dev/null || true)
  if [ -n "$folder" ] && [ -n "$bin" ] && [ -f "$folder/data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" -D "$folder/data" -m immediate stop >/dev/null || true
  fi
  [ -n "$folder" ] && rm -rf "$folder"
  rm -f "$file" "$file.folder"
  exit 0
fi

rm -f "$file" "$file.folder"
if [ -z "$bin" ] || ! odbcinst -q -d 2>/dev/null | grep -q "PostgreSQL Unicode"; then
  echo "PostgreSQL or its ODBC driver is not installed: the database tests skip." >&2
  exit 0
fi
folder=$(mktemp -d /tmp/korimo-pg.XXXXXX)
printf '%s\n' "$folder" > "$file.folder"
if [ "$(id -u)" = 0 ]; then chown postgres "$folder"; fi
password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
as_owner sh -c "printf '%s\n' '$password' > '$folder/password'"
as_owner "$bin/initdb" -D "$folder/data" -U korimo --pwfile="$folder/password" \
  --auth-host=scram-sha-256 --auth-local=scram-sha-256 >"$folder/initdb.log" 2>&1
for attempt in $(seq 1 20); do
  port=$(( 20000 + (RANDOM % 20000) ))
  if start_server "$folder" "$port"; then
    printf '%s\n' "$port" > "$folder/port"
    printf 'Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%s;Database=postgres;Uid=korimo;Pwd=%s;\n' \
      "$port" "$password" > "$file"
    exit 0
  fi
done
echo "The test cluster did not start; see $folder/server.log" >&2
exit 1
