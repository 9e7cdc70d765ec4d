#!/usr/bin/env python3
"""The external-URL check against other link checkers, side by side in one run.

A generated site (--pages pages of --links links each, the home page linking every page) whose
links are all distinct URLs on local servers that answer each after --ms milliseconds. The
servers listen on 127.0.0.1 only, on --servers ports spread over --server-procs processes (so
that Python's lock on one process does not slow the answers), and count what they are asked.
Each tool checks the site --reps times, the runs interleaved so that the machine's load falls
on all alike:

  tessary      tessary-cli SITE --check-external --no-cache --no-unused --quiet --report FILE
  linkchecker  LinkChecker (Debian package) with 32 threads, --check-extern, no robots.txt
  linkinator   linkinator 6 (npm, installed into bench/.npm) with --concurrency 32
  curl -Z      curl's own parallel mode asking every URL, 32 at once: what the servers can
               give at that many requests in flight (the floor, not a link checker)

It prints the median wall-clock and processor time (user + system of the tool and its
children) of each, the requests and distinct URLs the servers saw during its runs (a tool that
skipped links would look fast otherwise), the servers' own processor time per second of the
run (near 100 % in one process means the servers are the limit), and the goals: tessary within
2 x (URLs x ms / 32) and each peer at least 5 x tessary's wall time.

LinkChecker waits 0.1 to 0.6 s between two requests to one host unless the host answers with a
"LinkChecker" header; the servers here send one and LinkChecker is given
maxrequestspersecond=1000, so that politeness waits do not decide the comparison. It still waits
1 to 6 ms per request and host, under one lock for all its threads: that is its design.

Two more rows on request, left out of the goals: linkchecker-defaults and linkinator-defaults,
the peers as run without options (LinkChecker: 10 threads, robots.txt, its waits of 0.1 to
0.6 s per host; linkinator: 100 requests at once).

usage: bench/external.py [--reps 3] [--tools tessary,linkchecker,linkinator,curl]
                         [--cli build/tessary-cli] [--work DIR] [--servers 16]
                         [--server-procs 4] [--pages 100] [--links 100] [--ms 50]
"""
import argparse
import functools
import os
import pwd
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
NPM_DIR = os.path.join(HERE, ".npm")
TOOL_LIMIT_S = 900  # a run that takes longer is stopped and shown as such


# ---- the servers: a child process holds some of them and answers commands on its stdin ----

def serve_child(count):
    """Runs `count` servers until stdin closes; prints their ports, then answers commands:
    'reset' clears the counts, 'count' prints requests, distinct URLs and processor seconds."""
    sys.dont_write_bytecode = True  # nothing written into the repository
    sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
    import http_fixture

    lock = threading.Lock()
    seen = {"requests": 0, "urls": set()}

    class BenchHandler(http_fixture.Handler):
        def handle_any(self):
            with lock:
                seen["requests"] += 1
                seen["urls"].add(self.path)
            super().handle_any()

        do_GET = do_HEAD = handle_any

        def end_headers(self):
            # Tells LinkChecker it may ask faster than its polite default.
            self.send_header("LinkChecker", "allow")
            super().end_headers()

    def quiet_error(server, request, address):
        # A client that drops a kept-alive connection is no fault; anything else is shown.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            http_fixture.Server.handle_error(server, request, address)

    servers = []
    try:
        for _ in range(count):
            server = http_fixture.Server()
            server.RequestHandlerClass = BenchHandler
            server.handle_error = functools.partial(quiet_error, server)
            servers.append(server.__enter__())
        print(" ".join(str(s.server_address[1]) for s in servers), flush=True)
        signal.signal(signal.SIGINT, signal.SIG_IGN)  # the parent stops the servers
        for line in sys.stdin:
            if line.strip() == "reset":
                with lock:
                    seen["requests"] = 0
                    seen["urls"] = set()
                print("ok", flush=True)
            elif line.strip() == "count":
                with lock:
                    print(seen["requests"], len(seen["urls"]), time.process_time(), flush=True)
    finally:
        for server in servers:
            server.__exit__(None, None, None)


class Servers:
    """The server processes; stopped on exit whatever happens (they also stop by themselves
    when this process dies, as their stdin closes)."""

    def __init__(self, total, procs):
        self.procs = []
        self.ports = []
        per = [total // procs + (1 if i < total % procs else 0) for i in range(procs)]
        for n in per:
            if n == 0:
                continue
            p = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--serve-child",
                                  str(n)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 text=True)
            self.procs.append(p)
            self.ports += [int(x) for x in self.ask(p, None).split()]

    @staticmethod
    def ask(p, command):
        if command:
            p.stdin.write(command + "\n")
            p.stdin.flush()
        ready, _, _ = select.select([p.stdout], [], [], 30)
        line = p.stdout.readline() if ready else ""
        if not line:
            raise RuntimeError("a server process did not answer")
        return line

    def reset(self):
        for p in self.procs:
            self.ask(p, "reset")

    def counts(self):
        """Requests, distinct URLs, and each process's processor seconds."""
        requests = urls = 0
        cpu = []
        for p in self.procs:
            r, u, c = self.ask(p, "count").split()
            requests += int(r)
            urls += int(u)
            cpu.append(float(c))
        return requests, urls, cpu

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in self.procs:
            try:
                p.stdin.close()
            except OSError:
                pass
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


# ---- the site ----

def make_site(site, ports, pages, links, ms):
    """pages pages of links links each; link i goes to server i % len(ports), so every page
    spreads its links over all hosts. Returns the URLs in order."""
    os.makedirs(site)
    urls = []
    home = ['<!DOCTYPE html>\n<html><head><title>Home</title></head><body>\n']
    for p in range(pages):
        name = f"page{p:04d}.html"
        home.append(f'<p><a href="{name}">Page {p}</a></p>\n')
        body = [f'<!DOCTYPE html>\n<html><head><title>Page {p}</title></head><body>\n']
        for k in range(links):
            i = p * links + k
            url = f"http://127.0.0.1:{ports[i % len(ports)]}/slow?ms={ms}&amp;n={i}"
            urls.append(url.replace("&amp;", "&"))
            body.append(f'<p><a href="{url}">link {i}</a></p>\n')
        body.append('<p><a href="index.html">Home</a></p>\n</body></html>\n')
        with open(os.path.join(site, name), "w") as f:
            f.writelines(body)
    home.append("</body></html>\n")
    with open(os.path.join(site, "index.html"), "w") as f:
        f.writelines(home)
    return urls


# ---- the tools ----

def linkinator_bin():
    path = os.path.join(NPM_DIR, "node_modules", ".bin", "linkinator")
    if not os.access(path, os.X_OK) and shutil.which("npm"):
        print("installing linkinator 6 into bench/.npm", file=sys.stderr)
        subprocess.run(["npm", "install", "--prefix", NPM_DIR, "--no-audit", "--no-fund",
                        "linkinator@6"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path if os.access(path, os.X_OK) else None


def commands(args, work, site, urls):
    """Each tool's name, command, environment and the check of its outcome (exit status,
    output file) that says whether it found every link working."""
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_STATE_HOME=os.path.join(work, "state"),
               XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"))
    tools = {}
    report = os.path.join(work, "tessary-report.txt")
    if "tessary" in args.tools:
        if not os.access(args.cli, os.X_OK):
            sys.exit(f"external.py: no tessary-cli at {args.cli}: build it first")
        tools["tessary"] = ([args.cli, site, "--check-external", "--no-cache", "--no-unused",
                             "--quiet", "--report", report], env,
                            lambda rc, out: rc == 0 and f"All {len(urls)} external URLs checked "
                            "answered!" in open(report, encoding="utf-8", errors="replace").read())
    if "linkchecker" in args.tools and shutil.which("linkchecker"):
        rc_file = os.path.join(work, "linkcheckerrc")
        with open(rc_file, "w") as f:
            f.write("[checking]\nmaxrequestspersecond=1000\n")
        tools["linkchecker"] = (["linkchecker", "-f", rc_file, "--check-extern", "--no-robots",
                                 "-t", "32", "--no-status", "--no-warnings", "-o", "none",
                                 os.path.join(site, "index.html")], env,
                                lambda rc, out: rc == 0)
    if "linkinator" in args.tools:
        binary = linkinator_bin()
        if binary:
            tools["linkinator"] = ([binary, site, "--recurse", "--concurrency", "32",
                                    "--format", "csv"], env,
                                   lambda rc, out: rc == 0 and out.count("\n") > len(urls))
    # The peers as a user runs them without options: LinkChecker with 10 threads, robots.txt
    # and its polite waits, linkinator with 100 requests at once.
    if "linkchecker-defaults" in args.tools and shutil.which("linkchecker"):
        tools["linkchecker-defaults"] = (["linkchecker", "--check-extern", "-o", "none",
                                          os.path.join(site, "index.html")], env,
                                         lambda rc, out: rc == 0)
    if "linkinator-defaults" in args.tools and linkinator_bin():
        tools["linkinator-defaults"] = ([linkinator_bin(), site, "--recurse", "--format", "csv"],
                                        env,
                                        lambda rc, out: rc == 0 and out.count("\n") > len(urls))
    if "curl" in args.tools and shutil.which("curl"):
        config = os.path.join(work, "curl-urls.txt")
        with open(config, "w") as f:
            f.writelines(f'url = "{u}"\n' for u in urls)
        tools["curl -Z"] = (["curl", "-sS", "--no-progress-meter", "-Z", "--parallel-max", "32",
                             "-I", "-K", config], env,
                            lambda rc, out: rc == 0 and out.count("HTTP/1.1 200") == len(urls))
    for name in args.tools:
        if not any(t.split()[0] == name for t in tools):  # "curl -Z" for curl
            print(f"external.py: {name} is not available; its row is skipped", file=sys.stderr)
    return tools


def run(cmd, env, out_path):
    """Wall and processor seconds (user + system of the command and its waited-for children),
    exit status, and what it printed."""
    with open(out_path, "w") as out:
        start = time.monotonic()
        p = subprocess.Popen(cmd, env=env, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True, cwd=os.path.dirname(out_path))
        timer = threading.Timer(TOOL_LIMIT_S, lambda: os.killpg(p.pid, signal.SIGKILL))
        timer.start()
        try:
            _, status, usage = os.wait4(p.pid, 0)
        except BaseException:  # interrupted: the tool runs in a session of its own
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            raise
        finally:
            timer.cancel()
        wall = time.monotonic() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    with open(out_path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    return wall, usage.ru_utime + usage.ru_stime, p.returncode, text


# ---- the whole run ----

def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--reps", type=int, default=3)
    parser.add_argument("--pages", type=int, default=100)
    parser.add_argument("--links", type=int, default=100)
    parser.add_argument("--ms", type=int, default=50)
    parser.add_argument("--servers", type=int, default=16)
    parser.add_argument("--server-procs", type=int, default=4)
    parser.add_argument("--tools", default="tessary,linkchecker,linkinator,curl")
    parser.add_argument("--cli", default=os.environ.get("TESSARY_CLI",
                                                        os.path.join(ROOT, "build", "tessary-cli")))
    parser.add_argument("--work", help="work directory (default: a new one under $TMPDIR)")
    parser.add_argument("--serve-child", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.serve_child:
        return serve_child(args.serve_child)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # so that the servers stop
    args.tools = [t for t in args.tools.split(",") if t]
    args.cli = os.path.abspath(args.cli)

    work = args.work or tempfile.mkdtemp(prefix="tessary-bench-external-")
    os.makedirs(work, exist_ok=True)
    if os.geteuid() == 0:
        # LinkChecker run as root gives up its rights for user nobody's: it must read the site.
        os.chmod(work, 0o755)
        nobody = pwd.getpwnam("nobody")
        for sub in ("cache", "state", "config", "data"):
            os.makedirs(os.path.join(work, sub), exist_ok=True)
            os.chown(os.path.join(work, sub), nobody.pw_uid, nobody.pw_gid)
    site = os.path.join(work, "site")
    shutil.rmtree(site, ignore_errors=True)

    with Servers(args.servers, args.server_procs) as servers:
        urls = make_site(site, servers.ports, args.pages, args.links, args.ms)
        tools = commands(args, work, site, urls)
        floor = len(urls) * args.ms / 1000 / 32
        print(f"{len(urls)} URLs on {len(servers.ports)} servers in {len(servers.procs)} "
              f"processes, {args.ms} ms each; {args.reps} runs of each tool, interleaved; "
              f"load average {os.getloadavg()[0]:.2f}", flush=True)
        results = {name: {"wall": [], "cpu": [], "req": [], "urls": [], "busy": [], "ok": []}
                   for name in tools}
        for rep in range(args.reps):
            for name, (cmd, env, judge) in tools.items():
                # The program writes its external-URL page into the site: every run starts clean.
                for extra in ("report_of_external_refs.htm", "linkchecker-out.csv"):
                    if os.path.exists(os.path.join(site, extra)):
                        os.remove(os.path.join(site, extra))
                servers.reset()
                _, _, cpu_before = servers.counts()
                wall, cpu, rc, out = run(cmd, env, os.path.join(work, f"out-{name.split()[0]}.txt"))
                requests, distinct, cpu_after = servers.counts()
                busy = max(a - b for a, b in zip(cpu_after, cpu_before)) / wall
                r = results[name]
                r["wall"].append(wall)
                r["cpu"].append(cpu)
                r["req"].append(requests)
                r["urls"].append(distinct)
                r["busy"].append(busy)
                r["ok"].append(judge(rc, out))
                print(f"  run {rep + 1}: {name:<20} {wall:7.2f} s wall {cpu:7.2f} s cpu "
                      f"{requests:6d} requests {distinct:6d} URLs, exit {rc}"
                      f"{'' if r['ok'][-1] else ' (NOT all links found working)'}; "
                      f"busiest server process {100 * busy:.0f} % of a core", flush=True)
        print_table(results, len(urls), args.ms, floor)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0


def print_table(results, n_urls, ms, floor):
    base = median(results["tessary"]["wall"]) if "tessary" in results else float("nan")
    print(f"\n{'tool':<20} {'wall s':>8} {'cpu s':>8} {'requests':>9} {'URLs':>7} "
          f"{'server %':>8} {'x tessary':>9}  all links working")
    for name, r in results.items():
        wall = median(r["wall"])
        print(f"{name:<20} {wall:8.2f} {median(r['cpu']):8.2f} {int(median(r['req'])):9d} "
              f"{int(median(r['urls'])):7d} {100 * median(r['busy']):7.0f}% {wall / base:9.2f}  "
              f"{'yes' if all(r['ok']) else 'NO'}")
    print(f"\nfloor at 32 in flight: {n_urls} x {ms} ms / 32 = {floor:.2f} s")
    if "tessary" in results:
        r = results["tessary"]
        seen_all = min(r["urls"]) >= n_urls
        print(f"goal: tessary <= {2 * floor:.2f} s: {base:.2f} s, "
              f"{'met' if base <= 2 * floor and seen_all and all(r['ok']) else 'MISSED'}")
        for name, p in results.items():
            if name in ("tessary", "curl -Z") or name.endswith("-defaults"):
                continue  # the goals compare the peers at 32 requests in flight
            ratio = median(p["wall"]) / base
            print(f"goal: {name} >= 5 x tessary: {ratio:.2f} x, "
                  f"{'met' if ratio >= 5 else 'MISSED'}"
                  f"{'' if min(p['urls']) >= n_urls else ' (it did not ask for every URL)'}")


if __name__ == "__main__":
    sys.exit(main())
