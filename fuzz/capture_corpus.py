#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Captures real SNMP datagrams from Net-SNMP into fuzz/corpus/.

Starts snmpd on a high loopback port, relays snmpget/snmpgetnext/snmpset
through a small UDP proxy that writes every request and response payload to
a file, and receives snmptrap's v1 and v2c traps on another loopback port.
Everything stays on 127.0.0.1; snmpd is stopped at the end.
"""
import os
import pathlib
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time

HOST = "127.0.0.1"
OUT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent / "corpus")


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def save(name, payload):
    OUT.mkdir(parents=True, exist_ok=True)
    (OUT / name).write_bytes(payload)


def relay_once(proxy, agent_port, name):
    """Forwards one request to the agent and its answer back, saving both."""
    ready, _, _ = select.select([proxy], [], [], 5)
    if not ready:
        raise RuntimeError(f"{name}: no request")
    request, client = proxy.recvfrom(65535)
    save(f"{name}-request.ber", request)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as upstream:
        upstream.settimeout(5)
        upstream.sendto(request, (HOST, agent_port))
        response, _ = upstream.recvfrom(65535)
    save(f"{name}-response.ber", response)
    proxy.sendto(response, client)


def query(tool, args, proxy, agent_port, name, version="1"):
    # -Cf: snmpget must not resend a request without the object that failed.
    fix = ["-Cf"] if tool == "snmpget" else []
    command = [tool, f"-v{version}", "-c", "mervik", "-r", "0", "-t", "5", *fix,
               f"{HOST}:{proxy.getsockname()[1]}", *args]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    relay_once(proxy, agent_port, name)
    output, _ = process.communicate(timeout=10)
    print(name, output.decode(errors="replace").strip())


def trap(receiver, name, args, version):
    command = ["snmptrap", f"-v{version}", "-c", "public", f"{HOST}:{receiver.getsockname()[1]}", *args]
    subprocess.run(command, check=True, timeout=10)
    ready, _, _ = select.select([receiver], [], [], 5)
    if not ready:
        raise RuntimeError(f"{name}: no trap")
    save(f"{name}.ber", receiver.recv(65535))
    print(name)


def main():
    workdir = pathlib.Path(tempfile.mkdtemp(prefix="brellan-corpus-"))
    agent_port = free_port()
    conf = workdir / "snmpd.conf"
    conf.write_text(
        "rocommunity mervik 127.0.0.1\n"
        "rwcommunity writer 127.0.0.1\n"
        "sysContact Ada Operator <ada@example.net>\n"
        "sysLocation Rack 4, Row B\n"
        "sysName corpus-agent\n"
    )
    env = dict(os.environ, MIBS="", SNMPCONFPATH=str(workdir), MIBDIRS="/usr/share/snmp/mibs")
    agent = subprocess.Popen(
        ["snmpd", "-f", "-Lo", "-C", "-c", str(conf), "-p", str(workdir / "snmpd.pid"), f"udp:{HOST}:{agent_port}"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    try:
        time.sleep(1.5)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as proxy, \
                socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as receiver:
            proxy.bind((HOST, 0))
            receiver.bind((HOST, 0))
            os.environ.update(env)
            query("snmpget", ["-On", "1.3.6.1.2.1.1.1.0"], proxy, agent_port, "v1-get-sysdescr")
            query("snmpget", ["-On", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.5.0"], proxy,
                  agent_port, "v1-get-several")
            query("snmpget", ["-On", "1.3.6.1.2.1.1.99.0"], proxy, agent_port, "v1-get-nosuchname")
            query("snmpgetnext", ["-On", "1.3.6.1.2.1.1.4.0"], proxy, agent_port, "v1-getnext-syscontact")
            query("snmpgetnext", ["-On", "1.3.6.1.2.1.1.9.1.2.1"], proxy, agent_port, "v1-getnext-orid")
            query("snmpgetnext", ["-On", "1.3.6.1.2.1.4.20.1.1"], proxy, agent_port, "v1-getnext-ipaddress")
            query("snmpgetnext", ["-On", "1.3.6.1.2.1.2.2.1.10"], proxy, agent_port, "v1-getnext-counter")
            query("snmpget", ["-On", "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.99.0"], proxy, agent_port,
                  "v2c-get-nosuchobject", version="2c")
            query("snmpgetnext", ["-On", "1.3.6.1.2.1.31.1.1.1.6"], proxy, agent_port, "v2c-getnext-counter64",
                  version="2c")
            query("snmpbulkget", ["-On", "-Cr3", "1.3.6.1.2.1.1"], proxy, agent_port, "v2c-getbulk", version="2c")

            for generic in range(6):
                trap(receiver, f"v1-trap-generic{generic}",
                     ["1.3.6.1.4.1.8072.2.3.1", "127.0.0.1", str(generic), "0", "12345"], "1")
            trap(receiver, "v1-trap-specific",
                 ["1.3.6.1.4.1.8072.2.3.1", "10.1.2.3", "6", "17", "",
                  "1.3.6.1.2.1.1.5.0", "s", "corpus-agent", "1.3.6.1.2.1.2.2.1.1.2", "i", "2"], "1")
            trap(receiver, "v2c-trap-coldstart", ["", "1.3.6.1.6.3.1.1.5.1"], "2c")
            trap(receiver, "v2c-trap-linkdown",
                 ["", "1.3.6.1.6.3.1.1.5.3", "1.3.6.1.2.1.2.2.1.1.2", "i", "2",
                  "1.3.6.1.2.1.2.2.1.7.2", "i", "1", "1.3.6.1.2.1.2.2.1.8.2", "i", "2"], "2c")
            trap(receiver, "v2c-trap-enterprise",
                 ["123456", "1.3.6.1.4.1.8072.2.3.0.1", "1.3.6.1.4.1.8072.2.3.2.1", "i", "42",
                  "1.3.6.1.6.3.18.1.3.0", "a", "10.9.8.7", "1.3.6.1.2.1.1.5.0", "s", "line1\nline2",
                  "1.3.6.1.2.1.1.2.0", "o", "1.3.6.1.4.1.8072.3.2.10", "1.3.6.1.2.1.2.2.1.10.1", "c", "4294967295",
                  "1.3.6.1.2.1.2.2.1.5.1", "u", "1000000000", "1.3.6.1.2.1.1.9.1.3.1", "x", "001AFF",
                  "1.3.6.1.2.1.31.1.1.1.6.1", "C", "18446744073709551615"], "2c")
    finally:
        agent.send_signal(signal.SIGTERM)
        agent.wait(timeout=10)


if __name__ == "__main__":
    main()
