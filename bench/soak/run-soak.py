#!/usr/bin/env python3
"""Soak run: velaro-sim generates all three chats with a fault every so often (rotating through
drops, stalls, half-closed and cut connections, refusals, delays, garbled bytes and error
answers in front of Twitch chat, Kick's web site and Pusher socket and YouTube's web site), and
velaro-chat --print --json reads them. Prints, once a minute and at the end: rows received,
duplicates (must be 0), reconnects, the longest gap between rows, resident memory and threads.

  bench/soak/run-soak.py --build=build [--minutes=30] [--rate=50] [--fault-every=30]
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

PLATFORMS = ("twitch", "kick", "youtube")


def proc_status(pid):
    fields = {}
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                key, _, value = line.partition(":")
                fields[key] = value.strip()
    except OSError:
        return None, None
    rss_kib = int(fields.get("VmRSS", "0 kB").split()[0])
    return rss_kib / 1024.0, int(fields.get("Threads", "0"))


class Tally:
    """What velaro-chat printed; fed from its output thread, read by the main thread."""

    def __init__(self):
        self.lock = threading.Lock()
        self.rows = {p: 0 for p in PLATFORMS}
        self.system_rows = 0
        self.duplicates = 0
        self.duplicate_examples = []
        self.seen_ids = set()
        self.seen_messages = set()
        self.connected = {p: 0 for p in PLATFORMS}
        self.state = {p: None for p in PLATFORMS}
        self.last_row = {}
        self.longest_gap = {p: 0.0 for p in PLATFORMS}
        self.details = {p: {} for p in PLATFORMS}

    def feed(self, line, now):
        try:
            item = json.loads(line)
        except ValueError:
            return
        with self.lock:
            kind = item.get("type")
            platform = item.get("platform")
            if kind == "status" and platform in PLATFORMS:
                state = item.get("state")
                if state == "connected" and self.state[platform] != "connected":
                    self.connected[platform] += 1
                self.state[platform] = state
                detail = f'{state}: {item.get("detail", "")}'
                self.details[platform][detail] = self.details[platform].get(detail, 0) + 1
            elif kind == "row" and platform in PLATFORMS:
                if "system" in item.get("tags", []):
                    self.system_rows += 1
                    return
                key = item.get("id")
                message = (platform, item.get("platformMessageId") or key)
                if key in self.seen_ids or message in self.seen_messages:
                    self.duplicates += 1
                    if len(self.duplicate_examples) < 5:
                        self.duplicate_examples.append(line.strip()[:200])
                self.seen_ids.add(key)
                self.seen_messages.add(message)
                self.rows[platform] += 1
                if platform in self.last_row:
                    gap = now - self.last_row[platform]
                    self.longest_gap[platform] = max(self.longest_gap[platform], gap)
                self.last_row[platform] = now

    def snapshot(self):
        with self.lock:
            return (dict(self.rows), self.duplicates,
                    {p: max(0, n - 1) for p, n in self.connected.items()},
                    dict(self.longest_gap))


def pump(stream, handle):
    for raw in iter(stream.readline, b""):
        handle(raw.decode("utf-8", "replace"), time.monotonic())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build folder with app/ and sim/world/")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--rate", type=float, default=50, help="messages a second per platform")
    parser.add_argument("--fault-every", type=float, default=30)
    parser.add_argument("--fault-length", type=float, default=10)
    parser.add_argument("--seed", type=int, default=7)
    options = parser.parse_args()

    chat_binary = os.path.join(options.build, "app", "velaro-chat")
    sim_binary = os.path.join(options.build, "sim", "world", "velaro-sim")
    for binary in (chat_binary, sim_binary):
        if not os.access(binary, os.X_OK):
            sys.exit(f"run-soak: {binary} is missing; build velaro-chat and velaro-sim first")

    folder = tempfile.mkdtemp(prefix="velaro-soak-")
    endpoints = os.path.join(folder, "endpoints.json")
    environment = dict(os.environ, XDG_DATA_HOME=os.path.join(folder, "data"),
                       XDG_RUNTIME_DIR=folder, DISPLAY="", WAYLAND_DISPLAY="",
                       QT_QPA_PLATFORM="", DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")

    rate = str(options.rate)
    sim = subprocess.Popen(
        [sim_binary, f"--twitch-rate={rate}", f"--kick-rate={rate}", f"--youtube-rate={rate}",
         f"--seed={options.seed}", "--faults=twitch,kick,pusher,youtube",
         f"--fault-every={options.fault_every}", f"--fault-length={options.fault_length}",
         f"--write-endpoints={endpoints}"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=environment)
    faults = []
    ready = threading.Event()

    def on_sim_line(line, _now):
        if line.startswith("Fault relays are up"):
            ready.set()
        if line.startswith("fault start:"):
            faults.append(line.split(":", 1)[1].strip())
    threading.Thread(target=pump, args=(sim.stdout, on_sim_line), daemon=True).start()
    if not ready.wait(30):
        sim.kill()
        sys.exit("run-soak: velaro-sim did not start")

    tally = Tally()
    chat = subprocess.Popen(
        [chat_binary, "--print", "--json", f"--endpoints={endpoints}", "--twitch=velarodemo",
         "--kick=velarodemo", "--youtube=@velarodemo"],
        stdout=subprocess.PIPE, env=environment)
    reader = threading.Thread(target=pump, args=(chat.stdout, tally.feed), daemon=True)
    reader.start()

    print(f"soak: {options.minutes:g} min, {options.rate:g} messages/s on each platform, "
          f"a fault every {options.fault_every:g} s lasting {options.fault_length:g} s")
    print("minute  rows(tw/ki/yt)          dups  reconnects(tw/ki/yt)  rss MiB  threads  faults")
    start = time.monotonic()
    memory = []
    minute = 0
    while time.monotonic() - start < options.minutes * 60:
        time.sleep(1)
        if chat.poll() is not None:
            print(f"soak: velaro-chat ended early with {chat.returncode}")
            break
        if time.monotonic() - start >= (minute + 1) * 60:
            minute += 1
            rss, threads = proc_status(chat.pid)
            memory.append(rss)
            rows, dups, reconnects, _ = tally.snapshot()
            print(f"{minute:6d}  {rows['twitch']:7d}/{rows['kick']:7d}/{rows['youtube']:7d}"
                  f"  {dups:4d}  {reconnects['twitch']:5d}/{reconnects['kick']:5d}/"
                  f"{reconnects['youtube']:5d}      {rss:7.1f}  {threads:7d}  {len(faults):6d}",
                  flush=True)

    rss, threads = proc_status(chat.pid)
    rows, dups, reconnects, gaps = tally.snapshot()
    stop = time.monotonic()
    chat.send_signal(signal.SIGTERM)
    try:
        chat_code = chat.wait(30)
    except subprocess.TimeoutExpired:
        chat.kill()
        chat_code = "killed after 30 s"
    stop_seconds = time.monotonic() - stop
    sim.send_signal(signal.SIGTERM)
    try:
        sim.wait(10)
    except subprocess.TimeoutExpired:
        sim.kill()
    reader.join(5)

    print()
    print(f"rows received: {sum(rows.values())} (twitch {rows['twitch']}, kick {rows['kick']}, "
          f"youtube {rows['youtube']}), system lines {tally.system_rows}")
    print(f"duplicates: {dups}" + (" (must be 0)" if dups else ""))
    for example in tally.duplicate_examples:
        print(f"  duplicate: {example}")
    print(f"reconnects: twitch {reconnects['twitch']}, kick {reconnects['kick']}, "
          f"youtube {reconnects['youtube']}")
    print("longest gap between rows: " +
          ", ".join(f"{p} {gaps[p]:.1f} s" for p in PLATFORMS))
    print(f"faults injected: {len(faults)}")
    if memory:
        settled = memory[min(4, len(memory) - 1)]
        print("resident memory per minute (MiB): " + " ".join(f"{m:.0f}" for m in memory))
        print(f"resident memory: {settled:.1f} MiB at minute {min(5, len(memory))}, "
              f"{memory[-1]:.1f} MiB at the end")
    print(f"threads at the end: {threads}")
    print(f"stop: exit code {chat_code} after {stop_seconds:.2f} s")
    print("statuses seen:")
    for platform in PLATFORMS:
        for detail, count in sorted(tally.details[platform].items(), key=lambda kv: -kv[1]):
            print(f"  {platform:8s} {count:5d}  {detail}")
    return 0 if dups == 0 and chat_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
