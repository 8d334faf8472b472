#!/usr/bin/env bash
# Real mail servers for the integration tests, on loopback high ports, each instance in its
# own private directory (configuration, mail, logs, sockets), nothing taken from /etc.
#
#   scripts/mailservers.sh start DIR               install when missing, start, write DIR/env
#   scripts/mailservers.sh claim DIR               print an unused account of the test pool
#   scripts/mailservers.sh seed DIR USER BOX FILE...  store message files in USER's mailbox BOX
#   scripts/mailservers.sh stop DIR                stop by process id, wait until gone
#
# DIR/env holds the values the tests read: ZQ_IMAP_HOST, ZQ_IMAP_PORT, ZQ_DOVECOT_PID,
# ZQ_SMTP_HOST, ZQ_SMTP_PORT, ZQ_POSTFIX_PID, ZQ_MAIL_DOMAIN (Postfix),
# ZQ_DOVECOT_CONF and the passwords (one KEY=VALUE a line, the value raw to the line end, so
# not for sourcing: carol's password holds a double quote). Several instances may run side by
# side; ports are chosen under a lock and a start that loses a port race is retried on another.
#
# Users: alice, bob and carol (whose password holds a space and a double quote), and a pool
# of empty accounts user01..user60 that tests claim one each.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/packages.sh
source "$here/lib/packages.sh"

readonly LOCK=/tmp/zq-mailservers.lock
readonly ALICE_PASSWORD='alice-secret'
readonly BOB_PASSWORD='bob-secret'
readonly CAROL_PASSWORD='p@ss "w0rd'
readonly POOL_SIZE=60
readonly POOL_PASSWORD='pool secret'

die() { echo "mailservers: $*" >&2; exit 1; }

# A port nothing listens on now (connection refused), from a spread-out range.
free_port() {
    local port tries
    for tries in $(seq 1 200); do
        port=$(( 20000 + (RANDOM * 32768 + RANDOM) % 40000 ))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    die "no free port found"
}

# Waits until something accepts connections on the port (at most ~10 s).
wait_listening() {
    local port=$1 i
    for i in $(seq 1 200); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

# Waits until a file exists and is not empty (at most ~5 s): the master may write its pid file
# only after it has started listening.
wait_file() {
    local i
    for i in $(seq 1 100); do
        [ -s "$1" ] && return 0
        sleep 0.05
    done
    return 1
}

# True while the process group has a live (non-zombie) member: init reaps late here.
group_alive() {
    local pgid=$1
    ps -e -o pgid=,stat= 2>/dev/null | awk -v g="$pgid" '$1 == g && $2 !~ /^Z/ { found = 1 } END { exit !found }'
}

# ---------------------------------------------------------------- Dovecot (IMAP)

write_dovecot_conf() {
    local dir=$1 port=$2 conf=$1/dovecot/dovecot.conf
    cat >"$conf" <<CONF
# Private test instance; nothing is included from /etc/dovecot.
protocols = imap lmtp
listen = 127.0.0.1
base_dir = $dir/dovecot/run
state_dir = $dir/dovecot/state
log_path = $dir/log/dovecot.log
info_log_path = $dir/log/dovecot.log
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_username_format = %Ln
auth_failure_delay = 0
mail_uid = mail
mail_gid = mail
first_valid_uid = 8
mail_location = maildir:~/Maildir
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%n $dir/dovecot/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%n $dir/dovecot/passwd
  default_fields = uid=mail gid=mail home=$dir/mail/%n
}
namespace inbox {
  inbox = yes
  separator = /
}
service imap-login {
  inet_listener imap {
    address = 127.0.0.1
    port = $port
  }
  inet_listener imaps {
    port = 0
  }
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
service auth {
  unix_listener auth-postfix {
    mode = 0666
  }
}
service lmtp {
  unix_listener lmtp {
    mode = 0666
  }
}
CONF
}

add_user() {
    local dir=$1 user=$2 password=$3
    printf '%s:{PLAIN}%s::::::\n' "$user" "$password" >>"$dir/dovecot/passwd"
    install -d -o mail -g mail -m 0755 "$dir/mail/$user"
}

start_dovecot() {
    local dir=$1 port attempt pid
    install -d -m 0755 "$dir/dovecot" "$dir/dovecot/run" "$dir/dovecot/state" "$dir/log"
    install -d -o mail -g mail -m 0755 "$dir/mail"
    : >"$dir/dovecot/passwd"
    chmod 0644 "$dir/dovecot/passwd"
    add_user "$dir" alice "$ALICE_PASSWORD"
    add_user "$dir" bob "$BOB_PASSWORD"
    add_user "$dir" carol "$CAROL_PASSWORD"
    # A pool of empty accounts that tests claim one each, so that parallel tests never share
    # a mailbox. (Users are not added to a running server: it notices a changed user file
    # only once per second.)
    local i
    for i in $(seq -w 1 $POOL_SIZE); do add_user "$dir" "user$i" "$POOL_PASSWORD"; done
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        write_dovecot_conf "$dir" "$port"
        if dovecot -c "$dir/dovecot/dovecot.conf" 2>>"$dir/log/dovecot-start.log" && wait_listening "$port" &&
            wait_file "$dir/dovecot/run/master.pid"; then
            pid=$(cat "$dir/dovecot/run/master.pid")
            {
                echo "ZQ_IMAP_HOST=127.0.0.1"
                echo "ZQ_IMAP_PORT=$port"
                echo "ZQ_DOVECOT_PID=$pid"
                echo "ZQ_DOVECOT_CONF=$dir/dovecot/dovecot.conf"
            } >>"$dir/env"
            return 0
        fi
        # Lost the port to someone else: stop what may have started and try another.
        [ -f "$dir/dovecot/run/master.pid" ] && stop_pid "$(cat "$dir/dovecot/run/master.pid")"
    done
    die "dovecot did not start; see $dir/log"
}

# ---------------------------------------------------------------- Postfix (SMTP)
# Accepts HELO from loopback and AUTH LOGIN without TLS through this directory's Dovecot
# (DIR/dovecot/run/auth-postfix, the same passwd-file users), and delivers over LMTP into its
# mailboxes (DIR/dovecot/run/lmtp). Recipients are the users at localhost or example.test;
# unknown users are refused at RCPT; anything else is discarded, so nothing leaves the machine.

readonly MAIL_DOMAINS='localhost, example.test'

postfix_users() {
    local list="alice=ok, bob=ok, carol=ok" i
    for i in $(seq -w 1 $POOL_SIZE); do list="$list, user$i=ok"; done
    echo "$list"
}

write_postfix_conf() {
    local dir=$1 port=$2 etc=$1/postfix/etc
    cat >"$etc/main.cf" <<CONF
# Private test instance; nothing is read from /etc/postfix but the file list of the package.
compatibility_level = 3.6
queue_directory = $dir/postfix/queue
data_directory = $dir/postfix/data
command_directory = /usr/sbin
daemon_directory = /usr/lib/postfix/sbin
shlib_directory = /usr/lib/postfix
meta_directory = /etc/postfix
mail_owner = postfix
setgid_group = postdrop
myhostname = mail.localhost
mydomain = localhost
myorigin = \$mydomain
mydestination = $MAIL_DOMAINS
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
maillog_file = $dir/log/postfix.log
maillog_file_prefixes = $dir/log
local_transport = lmtp:unix:$dir/dovecot/run/lmtp
local_recipient_maps = inline:{ $(postfix_users) }
alias_maps =
alias_database =
default_transport = discard
relay_transport = discard
smtpd_sasl_auth_enable = yes
smtpd_sasl_type = dovecot
smtpd_sasl_path = $dir/dovecot/run/auth-postfix
smtpd_tls_security_level = none
smtpd_relay_restrictions = permit_mynetworks, permit_sasl_authenticated, reject_unauth_destination
message_size_limit = 104857600
biff = no
CONF
    # The chroot column is "n" everywhere: the sockets and maps live under DIR.
    cat >"$etc/master.cf" <<CONF
127.0.0.1:$port inet n - n - - smtpd
pickup     unix  n - n 60    1 pickup
cleanup    unix  n - n -     0 cleanup
qmgr       unix  n - n 300   1 qmgr
rewrite    unix  - - n -     - trivial-rewrite
bounce     unix  - - n -     0 bounce
defer      unix  - - n -     0 bounce
trace      unix  - - n -     0 bounce
verify     unix  - - n -     1 verify
flush      unix  n - n 1000? 0 flush
proxymap   unix  - - n -     - proxymap
proxywrite unix  - - n -     1 proxymap
smtp       unix  - - n -     - smtp
relay      unix  - - n -     - smtp
showq      unix  n - n -     - showq
error      unix  - - n -     - error
retry      unix  - - n -     - error
discard    unix  - - n -     - discard
local      unix  - n n -     - local
lmtp       unix  - - n -     - lmtp
anvil      unix  - - n -     1 anvil
scache     unix  - - n -     1 scache
postlog    unix-dgram n - n - 1 postlogd
CONF
    # Postfix stalls every command while its configuration looks freshly edited.
    touch -d '1 minute ago' "$etc/main.cf" "$etc/master.cf"
}

start_postfix() {
    local dir=$1 port attempt pid pidfile=$1/postfix/queue/pid/master.pid
    install -d -m 0755 "$dir/postfix" "$dir/postfix/etc" "$dir/postfix/queue"
    install -d -o postfix -g postfix -m 0700 "$dir/postfix/data"
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        write_postfix_conf "$dir" "$port"
        if postfix -c "$dir/postfix/etc" start 2>>"$dir/log/postfix-start.log" && wait_listening "$port" &&
            wait_file "$pidfile"; then
            pid=$(tr -d ' ' <"$pidfile")
            {
                echo "ZQ_SMTP_HOST=127.0.0.1"
                echo "ZQ_SMTP_PORT=$port"
                echo "ZQ_POSTFIX_PID=$pid"
                echo "ZQ_MAIL_DOMAIN=example.test"
            } >>"$dir/env"
            return 0
        fi
        [ -s "$pidfile" ] && stop_pid "$(tr -d ' ' <"$pidfile")"
    done
    die "postfix did not start; see $dir/log"
}

# ---------------------------------------------------------------- commands

stop_pid() {
    local pid=$1 pgid i
    pgid=$(ps -o pgid= -p "$pid" 2>/dev/null | tr -d ' ') || true
    kill -TERM "$pid" 2>/dev/null || true
    [ -n "$pgid" ] || return 0
    for i in $(seq 1 100); do
        group_alive "$pgid" || return 0
        sleep 0.1
    done
    kill -KILL -- "-$pgid" 2>/dev/null || true
}

cmd_start() {
    local dir=$1
    ensure_packages dovecot-core dovecot-imapd dovecot-lmtpd postfix
    [ -e "$dir/env" ] && die "$dir is in use (stop it first)"
    install -d -m 0755 "$dir"
    # A fresh instance: mail and accounts of an earlier run are dropped.
    rm -rf "$dir/mail" "$dir/claims" "$dir/dovecot" "$dir/log" "$dir/postfix"
    exec 9>"$LOCK"
    flock 9
    start_dovecot "$dir"
    start_postfix "$dir"
    flock -u 9
    {
        echo "ZQ_PASSWORD_alice=$ALICE_PASSWORD"
        echo "ZQ_PASSWORD_bob=$BOB_PASSWORD"
        echo "ZQ_PASSWORD_carol=$CAROL_PASSWORD"
        echo "ZQ_POOL_PASSWORD=$POOL_PASSWORD"
    } >>"$dir/env"
    cat "$dir/env"
}

cmd_stop() {
    local dir=$1
    [ -f "$dir/env" ] || return 0
    local pid
    # Postfix first: its deliveries go into Dovecot.
    pid=$(sed -n 's/^ZQ_POSTFIX_PID=//p' "$dir/env")
    [ -n "$pid" ] && stop_pid "$pid"
    pid=$(sed -n 's/^ZQ_DOVECOT_PID=//p' "$dir/env")
    [ -n "$pid" ] && stop_pid "$pid"
    rm -rf "$dir/env" "$dir/claims"
}

# Prints the name of a pool account nobody has claimed yet (mkdir is the atomic claim).
cmd_claim() {
    local dir=$1 i
    install -d -m 0755 "$dir/claims"
    for i in $(seq -w 1 $POOL_SIZE); do
        if mkdir "$dir/claims/user$i" 2>/dev/null; then
            echo "user$i"
            return 0
        fi
    done
    die "all $POOL_SIZE pool accounts are claimed"
}

cmd_seed() {
    local dir=$1 user=$2 box=$3 file
    shift 3
    local conf="$dir/dovecot/dovecot.conf"
    [ "$box" = INBOX ] || doveadm -c "$conf" mailbox create -u "$user" "$box" 2>/dev/null || true
    for file in "$@"; do
        doveadm -c "$conf" save -u "$user" -m "$box" <"$file"
    done
}

case "${1:-}" in
    start) [ $# -eq 2 ] || die "usage: start DIR"; cmd_start "$2" ;;
    stop) [ $# -eq 2 ] || die "usage: stop DIR"; cmd_stop "$2" ;;
    claim) [ $# -eq 2 ] || die "usage: claim DIR"; cmd_claim "$2" ;;
    seed) [ $# -ge 4 ] || die "usage: seed DIR USER MAILBOX FILE..."; cmd_seed "$2" "$3" "$4" "${@:5}" ;;
    *) die "usage: $0 start|stop|claim|seed DIR ..." ;;
esac
