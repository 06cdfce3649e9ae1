"""What the benchmark scripts read about a running Zorv from outside, and how
they print a series of timings."""
import os, statistics, subprocess, sys, time


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(l.split()[1] for l in f if l.startswith("VmRSS"))) / 1024


def own_mb(pid):
    """Resident memory without the pages of mapped files (libraries, fonts)."""
    with open(f"/proc/{pid}/status") as f:
        return sum(int(l.split()[1]) for l in f if l.startswith(("RssAnon", "RssShmem"))) / 1024


def switches(pid):
    """Context switches of all threads so far: a count of wake-ups."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            total += sum(int(l.split()[1]) for l in f if "ctxt_switches" in l)
    return total


def summary(values):
    values = [v for v in values if v is not None]
    if not values:
        return "no successful run"
    return (f"min {min(values):6.1f}  median {statistics.median(values):6.1f}  "
            f"max {max(values):6.1f} ms  (n={len(values)})")


def start_zorv(zorv, env, timeout=15):
    """Starts Zorv; returns its process once it traced "hotkeys-registered"."""
    p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
    end = time.time() + timeout
    while True:
        with open(env["ZORV_TRACE_FILE"]) as f:
            if any(l.split()[1:2] == ["hotkeys-registered"] for l in f):
                return p
        if time.time() > end:
            p.kill()
            sys.exit("zorv did not register its shortcuts")
        time.sleep(0.01)
