# A Mosquitto broker of a whole-program test's own, on a free loopback port, anonymous clients
# allowed; its log is $work/broker.log. Source it after session.sh (it needs $work and fail).
# Sets broker_port; the broker ends with the test script.

broker_pid=""
broker_port=""

# Whether Mosquitto and its clients are installed.
broker_installed() {
    [ -x /usr/sbin/mosquitto ] && command -v mosquitto_pub >/dev/null
}

# A TCP port of the loopback interface that nothing listens on now.
free_loopback_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Starts the broker and waits until it takes connections (it says "running" then).
start_broker() {
    broker_port="$(free_loopback_port)" || fail "no free port for the broker"
    cat >"$work/mosquitto.conf" <<CONF
per_listener_settings false
allow_anonymous true
persistence false
log_dest file $work/broker.log
user $(id -un)
listener $broker_port 127.0.0.1
CONF
    /usr/sbin/mosquitto -c "$work/mosquitto.conf" >/dev/null 2>&1 &
    broker_pid=$!
    wait_until 10 "grep -q ' running' '$work/broker.log' 2>/dev/null"
}

stop_broker() {
    if [ -n "$broker_pid" ]; then
        kill "$broker_pid" 2>/dev/null || true
        wait "$broker_pid" 2>/dev/null || true
        broker_pid=""
    fi
}

# Publishes $2 on topic $1, retained, as a bench does.
publish_retained() {
    mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -r -t "$1" -m "$2" \
        || fail "mosquitto_pub could not publish on $1"
}

# Starts velmora-lab ($1) on the broker from a copy in $work; its output goes to $work/lab.log.
# Sets lab_pid.
lab_pid=""
start_lab() {
    cp "$1" "$work/"
    XDG_RUNTIME_DIR="$work" "$work/$(basename "$1")" --mqtt "127.0.0.1:$broker_port" \
        </dev/null >"$work/lab.log" 2>&1 &
    lab_pid=$!
}

# Waits at most $1 seconds for the overview to be titled $2 (its counts of benches and of those
# online). Sets lab_window.
wait_for_overview() {
    vd_wait_for_window "$1" "$DISPLAY" "$2" "$lab_pid" \
        || fail "no window titled '$2'; on the screen: $(xdotool search --name . getwindowname %@ 2>/dev/null | grep Velmora || true); velmora-lab said: $(cat "$work/lab.log")"
    lab_window=$((vd_window))
}

trap 'stop_broker; cleanup' EXIT
