#!/usr/bin/env python3
"""Windows stations, and a Linux one, on one data directory.

The Windows `planilla.exe` (run under Wine) and the Linux `planilla` work on copies of
the demonstration company, as offices' PCs would on a shared folder:

  1. `calcular` on the same month by each alone gives byte-identical result tables.
  2. Two stations run `calcular` over and over at once for a while. Every run either
     reaches "Fin De Proceso" or is refused because the other holds the month's
     results in exclusive use; the run register (rproc01, appended to by both) holds
     one record per run, none left open; every table verifies against its indexes
     (`planilla verificar`, and the register's bag read by cdxdump.py); and the month's
     results are still those of a run made alone.
  3. Exclusive use held by one station is refused to the other: a run is stopped
     (SIGSTOP) while it holds the results open exclusively, and the other station's
     run must be refused with the program's message; then it goes on.

The stations of 2 and 3 are two Windows processes, and a Windows station holding
exclusive use against a Linux one. Wine does not carry every lock across the other
way: a lock a Linux process holds (F_OFD_SETLK or F_SETLK) is seen by LockFileEx in a
Wine process only while wineserver has not yet opened that file for another Windows
process, so a Linux station beside Windows stations under Wine is not a fair test of
the program (on a real share the server holds both kinds of lock). `--mixed` runs
2 with a Linux and a Windows station all the same, and 3 the other way, and reports
without failing.

Usage: windows_stations.py --linux build/planilla --windows build-win/planilla.exe
Wine comes from the environment (WINEPREFIX ...); PLANILLA_WINE names another runner.
Exit 0 when every check holds; the figures are printed either way.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

MONTH = "31/03/2026"
RATE = "03 31"
CIA = "01"
REGISTER = "rproc01"
IN_USE = "Apertura Denegada El Archivo Esta En Uso"
RESULTS_OPEN_EXCLUSIVELY = "rete0126"  # the year's retentions: the payroll run opens them exclusively

failures = []


informative = [False]


def check(ok, what):
    if informative[0]:
        print(("  (si)  " if ok else "  (no)  ") + what)
        return ok
    print(("  ok    " if ok else "  FALLO ") + what)
    if not ok:
        failures.append(what)
    return ok


class Station:
    def __init__(self, name, command):
        self.name = name
        self.command = command  # list: the executable (with its runner)

    def start(self, args, cwd):
        env = dict(os.environ, PLANILLA_CLAVE="planilla")
        return subprocess.Popen(self.command + args, cwd=cwd, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def run(self, args, cwd, timeout=300):
        p = self.start(args, cwd)
        out, err = p.communicate(timeout=timeout)
        return p.returncode, out.decode("cp1252"), err.decode("cp1252")

    def calcular(self, cwd):
        return self.run(["calcular", "--cia", CIA, "--fecha", MONTH, "--tc", RATE], cwd)


def files_of(folder):
    return {f: open(os.path.join(folder, f), "rb").read() for f in sorted(os.listdir(folder))
            if f.lower().endswith((".dbf", ".cdx"))}


def results_changed(before, after):
    """Files the run changed or made, without the register and the change log (they
    hold times and the station's name)."""
    return {f: b for f, b in after.items()
            if before.get(f) != b and not f.lower().startswith((REGISTER, "bitac"))}


def register_rows(folder):
    """(proceso, estado, mensaje) of the register's live records, read as bytes."""
    data = open(os.path.join(folder, REGISTER + ".dbf"), "rb").read()
    count = int.from_bytes(data[4:8], "little")
    header = int.from_bytes(data[8:10], "little")
    reclen = int.from_bytes(data[10:12], "little")
    fields, off, pos = {}, 1, 32
    while data[pos] != 0x0D:
        name = data[pos:pos + 11].split(b"\0")[0].decode().upper()
        width = data[pos + 16]
        fields[name] = (off, width)
        off += width
        pos += 32
    rows = []
    for i in range(count):
        rec = data[header + i * reclen:header + (i + 1) * reclen]
        if rec[:1] == b"*":
            continue
        get = lambda f: rec[fields[f][0]:fields[f][0] + fields[f][1]].decode("cp1252").strip()
        rows.append((get("PROCESO"), get("ESTADO"), get("MENSAJE")))
    return rows


def verify_all(linux, windows, folder, shared):
    bad = []
    for t in sorted(f for f in os.listdir(folder) if f.lower().endswith(".dbf")):
        b = t[:-4]
        bags = [b + ".cdx"] if os.path.exists(os.path.join(folder, b + ".cdx")) else []
        if b.startswith("pmae") and len(b) == 8 and b[4:6] != "00":
            bags.append("pmno" + b[4:] + ".cdx")
        if b.startswith("p9"):
            bags.append("p8" + b[2:] + ".cdx")
        bags = [x for x in bags if os.path.exists(os.path.join(folder, x))]
        rc, out, err = linux.run(["verificar", t] + bags, folder)
        if rc != 0:
            bad.append(t + ": " + (out + err).strip())
    check(not bad, "cada tabla concuerda con sus indices (planilla verificar de Linux)" +
          ("" if not bad else ": " + "; ".join(bad)))
    rc, out, err = windows.run(["verificar", REGISTER + ".dbf", REGISTER + ".cdx"], folder)
    check(rc == 0, "el registro de procesos concuerda con su indice (planilla.exe verificar)" +
          ("" if rc == 0 else ": " + out + err))
    tool = os.path.join(shared, "tools", "cdxdump.py")
    if not os.path.exists(tool):
        print("  (sin " + tool + ": no se lee el indice con cdxdump.py)")
        return
    out = subprocess.run([sys.executable, tool, os.path.join(folder, REGISTER + ".cdx"), "--keys"],
                         capture_output=True, text=True, encoding="cp1252").stdout
    keys = [line for line in out.splitlines() if line.startswith("  '")]
    live = len(register_rows(folder))
    check(len(keys) == live, "cdxdump.py lee %d claves en %s.cdx para %d registros" % (len(keys), REGISTER, live))


def holder_pids(proc, wine):
    """The processes that may hold the data files for `proc`: itself, and under Wine
    the Windows program's own process (its command line names planilla.exe)."""
    pids = [proc.pid]
    if wine:
        for pid in os.listdir("/proc"):
            if not pid.isdigit() or int(pid) == proc.pid:
                continue
            try:
                cmd = open("/proc/%s/cmdline" % pid, "rb").read()
            except OSError:
                continue
            if b"planilla.exe" in cmd and b"calcular" in cmd:
                pids.append(int(pid))
    return pids


def has_open(pid, name):
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                if os.readlink("/proc/%d/fd/%s" % (pid, fd)).lower().endswith(name):
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def exclusive_refused(holder, other, folder, wine_holder):
    """Stops `holder`'s run while it has the month's results open (exclusively) and
    runs `other` meanwhile: it must be refused. Returns True when that was seen."""
    target = RESULTS_OPEN_EXCLUSIVELY + ".dbf"
    for attempt in range(40):
        proc = holder.start(["calcular", "--cia", CIA, "--fecha", MONTH, "--tc", RATE], folder)
        stopped = None
        deadline = time.time() + 60
        while proc.poll() is None and time.time() < deadline:
            pid = next((p for p in holder_pids(proc, wine_holder) if has_open(p, target)), None)
            if pid:
                os.kill(pid, signal.SIGSTOP)
                stopped = pid
                break
        if stopped is None:
            proc.communicate()
            continue  # the run ended before it was caught: again
        try:
            rc, out, err = other.calcular(folder)
        finally:
            os.kill(stopped, signal.SIGCONT)
        hout, herr = proc.communicate(timeout=300)
        check(rc == 1 and IN_USE in err,
              "%s en uso exclusivo por %s (intento %d): %s rechazado con \"%s\"" %
              (target, holder.name, attempt + 1, other.name, IN_USE) + ("" if rc == 1 and IN_USE in err else
                                                                        ": codigo %d, %s" % (rc, err.strip())))
        check(proc.returncode == 0, "%s termina su proceso despues" % holder.name +
              ("" if proc.returncode == 0 else ": " + herr.decode("cp1252").strip()))
        return
    check(False, "no se alcanzo a detener a %s con %s abierto" % (holder.name, target))


def concurrent(one, two, demo, work, name, a, pristine, ref, linux):
    print("2. %s y %s calculan a la vez durante %g s" % (one.name, two.name, a.seconds))
    shared = os.path.join(work, name)
    shutil.copytree(demo, shared)
    outcomes = {one.name: [], two.name: []}
    stop_at = time.time() + a.seconds

    def loop(st):
        while time.time() < stop_at:
            outcomes[st.name].append(st.calcular(shared))

    threads = [threading.Thread(target=loop, args=(st,)) for st in (one, two)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    total = 0
    for st_name, runs in outcomes.items():
        done = sum(1 for rc, out, err in runs if rc == 0 and "Fin De Proceso" in err)
        refused = sum(1 for rc, out, err in runs if rc == 1 and IN_USE in err)
        other = [err.strip() for rc, out, err in runs
                 if not (rc == 0 and "Fin De Proceso" in err) and not (rc == 1 and IN_USE in err)]
        total += len(runs)
        check(done > 0 and not other, "%s: %d procesos, %d terminados, %d rechazados por uso exclusivo" %
              (st_name, len(runs), done, refused) + ("" if not other else "; otros: " + " | ".join(other[:3])))
    rows = [r for r in register_rows(shared) if r[0] == "PLANILLA"]
    opened = [r for r in rows if r[1] not in ("T", "D")]
    check(len(rows) == total and not opened,
          "registro de procesos: %d registros de %d procesos, %d terminados, %d detenidos, %d abiertos" %
          (len(rows), total, sum(1 for r in rows if r[1] == "T"), sum(1 for r in rows if r[1] == "D"), len(opened)))
    verify_all(linux, two if two.name.startswith("Windows") else one, shared, a.shared)
    final = results_changed(pristine, files_of(shared))
    check(final == ref, "los resultados del mes son los de un calculo sin concurrencia")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--linux", required=True)
    ap.add_argument("--windows", required=True)
    ap.add_argument("--seconds", type=float, default=20)
    ap.add_argument("--mixed", action="store_true")
    ap.add_argument("--shared", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared"))
    a = ap.parse_args()
    runner = os.environ.get("PLANILLA_WINE", "wine")
    linux = Station("Linux", [os.path.abspath(a.linux)])
    windows = Station("Windows", ([runner] if runner else []) + [os.path.abspath(a.windows)])

    work = tempfile.mkdtemp(prefix="planilla-estaciones-")
    try:
        demo = os.path.join(work, "demo")
        rc, out, err = linux.run(["init", demo, "--demo", "--fecha", MONTH], work)
        if rc != 0:
            print("planilla init: " + err)
            return 1
        pristine = files_of(demo)

        print("1. calcular de cada estacion sola sobre la demostracion (%s)" % MONTH)
        alone = {}
        for st in (linux, windows):
            d = os.path.join(work, "solo-" + st.name)
            shutil.copytree(demo, d)
            t0 = time.time()
            rc, out, err = st.calcular(d)
            check(rc == 0 and "Fin De Proceso" in err, "%s: calcular en %.1f s" % (st.name, time.time() - t0) +
                  ("" if rc == 0 else ": " + err.strip()))
            alone[st.name] = results_changed(pristine, files_of(d))
        ref = alone["Linux"]
        same = sorted(f for f in ref if alone["Windows"].get(f) == ref[f])
        differ = sorted(set(ref) ^ set(alone["Windows"]) | {f for f in ref if alone["Windows"].get(f, ref[f]) != ref[f]})
        check(ref and not differ, "tablas de resultados identicas byte a byte (%d archivos, %d bytes): %s" %
              (len(same), sum(len(ref[f]) for f in same), " ".join(same)) + ("" if not differ else "; distintas: " + " ".join(differ)))

        windows2 = Station("Windows 2", windows.command)
        concurrent(windows, windows2, demo, work, "compartida", a, pristine, ref, linux)

        print("3. uso exclusivo de una estacion rechazado en la otra")
        excl = os.path.join(work, "exclusivo")
        shutil.copytree(demo, excl)
        exclusive_refused(windows, windows2, excl, True)
        exclusive_refused(windows, linux, excl, True)

        if a.mixed:
            print("Linux y Windows a la vez (informativo: Wine no lleva a Windows todo bloqueo de Linux)")
            informative[0] = True
            concurrent(linux, windows, demo, work, "mixta", a, pristine, ref, linux)
            exclusive_refused(linux, windows, excl, False)
            informative[0] = False
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print("Estaciones Linux y Windows: " + ("todo correcto" if not failures else "%d fallo(s)" % len(failures)))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
