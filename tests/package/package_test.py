#!/usr/bin/env python3
"""The Debian package installed into a fresh root: its files, their validators, the file
type's default opener for every user, and removal.

The package comes from cpack run on the existing build tree (no second build), or from
LOCKWELL_PACKAGE_DEB (e.g. dist/lockwell_*.deb made by scripts/package.sh)."""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
METAINFO = "org.lockwell.Lockwell.metainfo.xml"
MIME_TYPE = "application/x-lockwell-encrypted"

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def run(cmd, env=None, check_rc=True):
    result = subprocess.run(cmd, capture_output=True, text=True, env=env)
    if check_rc and result.returncode != 0:
        sys.exit("command failed (%d): %s\n%s%s" % (result.returncode, " ".join(cmd),
                                                   result.stdout, result.stderr))
    return result


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        sys.exit("missing %s: run scripts/deps.sh" % ", ".join(missing))


def build_deb(args, out):
    if shutil.which("dpkg-shlibdeps") is None:
        print("dpkg-shlibdeps is missing (dpkg-dev): cannot make the package here")
        sys.exit(SKIP)
    run([args.cpack, "--config", os.path.join(args.build, "CPackConfig.cmake"), "-G", "DEB",
         "-B", out])
    debs = glob.glob(os.path.join(out, "*.deb"))
    if len(debs) != 1:
        sys.exit("cpack made %r" % debs)
    return debs[0]


def dpkg(root, *action):
    # Scripts run outside a chroot (the root has no shell), with DPKG_ROOT set by dpkg.
    return run(["dpkg", "--root=" + root, "--force-script-chrootless", "--force-depends",
                "--log=/dev/null"] + list(action))


OTHER_TYPE = "application/x-other-sample"
OTHER_MIME = """<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other-sample">
    <comment>Another program's file</comment>
    <glob pattern="*.osample"/>
  </mime-type>
</mime-info>
"""
OTHER_ENTRY = """[Desktop Entry]
Type=Application
Name=Other
Exec=true %f
MimeType=application/x-other-sample;
"""


def fresh_root(root):
    admin = os.path.join(root, "var/lib/dpkg")
    for sub in ("info", "updates", "triggers"):
        os.makedirs(os.path.join(admin, sub))
    for name in ("status", "available"):
        open(os.path.join(admin, name), "w").close()
    # Another package's file type and opener, which removal must keep working.
    share = os.path.join(root, "usr/share")
    os.makedirs(os.path.join(share, "mime/packages"))
    os.makedirs(os.path.join(share, "applications"))
    with open(os.path.join(share, "mime/packages/other-sample.xml"), "w") as f:
        f.write(OTHER_MIME)
    with open(os.path.join(share, "applications/other.desktop"), "w") as f:
        f.write(OTHER_ENTRY)
    run(["update-mime-database", os.path.join(share, "mime")])
    run(["update-desktop-database", "-q", os.path.join(share, "applications")])


def xdg_env(tmp, root):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("XDG_") and k not in ("DESKTOP_SESSION", "KDE_FULL_SESSION",
                                                     "GNOME_DESKTOP_SESSION_ID", "DE")}
    for name in ("home", "data", "config", "config-dirs"):
        os.makedirs(os.path.join(tmp, name), exist_ok=True)
    env.update(HOME=os.path.join(tmp, "home"), XDG_DATA_HOME=os.path.join(tmp, "data"),
               XDG_CONFIG_HOME=os.path.join(tmp, "config"),
               XDG_CONFIG_DIRS=os.path.join(tmp, "config-dirs"),
               XDG_DATA_DIRS=os.path.join(root, "usr/share"), LC_ALL="C.UTF-8",
               PATH=os.path.join(root, "usr/bin") + os.pathsep + os.environ.get("PATH", ""))
    return env


def file_type(env, path):
    return run(["xdg-mime", "query", "filetype", path], env=env, check_rc=False).stdout.strip()


def check_control(deb, version):
    fields = run(["dpkg-deb", "-f", deb, "Package", "Version", "Depends", "Recommends"]).stdout
    info = dict(line.split(": ", 1) for line in fields.splitlines() if ": " in line)
    check(info.get("Package") == "lockwell", "package name lockwell")
    check(info.get("Version") == version, "package version %s (got %s)" % (version, info.get("Version")))
    depends = [d.strip().split(" ")[0] for d in info.get("Depends", "").split(",")]
    # Library dependencies come from dpkg-shlibdeps: these are the programs' own libraries.
    for lib in ("libc6", "libbz2-1.0", "libmagic1", "libqt6widgets6", "shared-mime-info",
                "desktop-file-utils"):
        check(lib in depends, "Depends names %s (%s)" % (lib, info.get("Depends")))
    check("qt6-wayland" in info.get("Recommends", ""), "Recommends names qt6-wayland")


INSTALLED = [
    "usr/bin/lockwell", "usr/bin/lockwell-cli",
    "usr/share/applications/lockwell.desktop",
    "usr/share/mime/packages/lockwell-encrypted.xml",
    "usr/share/metainfo/" + METAINFO,
    "usr/share/man/man1/lockwell.1.gz", "usr/share/man/man1/lockwell-cli.1.gz",
    "usr/share/doc/lockwell/README.md", "usr/share/doc/lockwell/LICENSE",
    "usr/share/doc/lockwell/THIRD_PARTY_NOTICES.md", "usr/share/doc/lockwell/copyright",
    "usr/share/doc/lockwell/changelog.gz",
    "usr/share/icons/hicolor/48x48/apps/lockwell.png",
    "usr/share/icons/hicolor/256x256/apps/lockwell.png",
    "usr/share/icons/hicolor/48x48/mimetypes/application-x-lockwell-encrypted.png",
    "usr/share/icons/hicolor/256x256/mimetypes/application-x-lockwell-encrypted.png",
]


def check_files(root, source, version):
    for rel in INSTALLED:
        check(os.path.isfile(os.path.join(root, rel)), "installed " + rel)
    for rel in ("usr/share/icons/hicolor/scalable/apps/lockwell.svg",
                "usr/share/icons/hicolor/scalable/mimetypes/application-x-lockwell-encrypted.svg"):
        if os.path.exists(os.path.join(source, "desktop/resources/icons/lockwell.svg")):
            check(os.path.isfile(os.path.join(root, rel)), "installed " + rel)
    for tool in ("lockwell", "lockwell-cli"):
        exe = os.path.join(root, "usr/bin", tool)
        out = run([exe, "--version"], check_rc=False).stdout.strip()
        check(out == "%s %s" % (tool, version), "%s --version prints %r (got %r)" % (tool, version, out))
    # Every icon the desktop entry and the file type name is one the package brings.
    share = os.path.join(root, "usr/share")
    with open(os.path.join(share, "mime/packages/lockwell-encrypted.xml")) as f:
        icons = [("mimetypes", n) for n in re.findall(r'<icon name="([^"]+)"', f.read())]
    with open(os.path.join(share, "applications/lockwell.desktop")) as f:
        icons += [("apps", n) for n in re.findall(r"^Icon=(.+)$", f.read(), re.M)]
    check(("apps", "lockwell") in icons, "the desktop entry names the icon lockwell")
    for context, name in icons:
        found = glob.glob(os.path.join(share, "icons/hicolor/*", context, name + ".png"))
        check(len(found) >= 2, "icon %s/%s installed in several sizes (%d)" % (context, name, len(found)))
    with open(os.path.join(root, "usr/share/doc/lockwell/copyright")) as f:
        check(f.readline().startswith("Format: https://www.debian.org/doc/packaging-manuals/"
                                      "copyright-format/1.0/"), "copyright in DEP-5 form")


def check_validators(root):
    share = os.path.join(root, "usr/share")
    entry = os.path.join(share, "applications/lockwell.desktop")
    result = run(["desktop-file-validate", entry], check_rc=False)
    check(result.returncode == 0 and not (result.stdout + result.stderr).strip(),
          "desktop-file-validate says nothing: " + result.stdout + result.stderr)
    with open(entry) as f:
        lines = f.read().splitlines()
    for line in ("Name=Lockwell", "Exec=lockwell %f", "Icon=lockwell", "Terminal=false",
                 "Type=Application", "MimeType=%s;" % MIME_TYPE):
        check(line in lines, "desktop entry has " + line)
    result = run(["appstreamcli", "validate", "--no-net", os.path.join(share, "metainfo", METAINFO)],
                 check_rc=False)
    check(result.returncode == 0, "appstreamcli validate: " + result.stdout + result.stderr)
    for page in ("lockwell.1.gz", "lockwell-cli.1.gz"):
        env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_DISABLE_SECCOMP="1")
        result = run(["man", "-l", "--warnings", os.path.join(share, "man/man1", page)],
                     env=env, check_rc=False)
        check(result.returncode == 0 and not result.stderr.strip(),
              "man -l %s without warnings: %s" % (page, result.stderr))
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS",
                        "EXAMPLES", "SEE ALSO"):
            check("\n" + section + "\n" in result.stdout, "%s has the section %s" % (page, section))


def check_opener(tmp, root, installed):
    env = xdg_env(tmp, root)
    files = os.path.join(tmp, "files")
    os.makedirs(files, exist_ok=True)
    samples = [os.path.join(files, n) for n in ("a.fe2", "B.FEZ", "c.osample")]
    for path in samples:
        with open(path, "wb") as f:
            f.write(bytes(range(256)) * 4)
    expected = [MIME_TYPE if installed else None] * 2 + [OTHER_TYPE]
    for path, want in zip(samples, expected):
        got = file_type(env, path)
        if want:
            check(got == want, "%s is typed %s (got %r)" % (os.path.basename(path), want, got))
        else:
            check(got != MIME_TYPE, "%s untyped after removal (got %r)" % (os.path.basename(path), got))
    default = run(["xdg-mime", "query", "default", MIME_TYPE], env=env, check_rc=False).stdout.strip()
    other = run(["xdg-mime", "query", "default", OTHER_TYPE], env=env, check_rc=False).stdout.strip()
    check(other == "other.desktop", "the other type keeps its opener (got %r)" % other)
    if not installed:
        check(default == "", "no default opener after removal (got %r)" % default)
        return
    check(default == "lockwell.desktop", "xdg-mime default is lockwell.desktop (got %r)" % default)
    if shutil.which("gio"):
        # GIO also needs the program on PATH (TryExec), as it is once installed.
        out = run(["gio", "mime", MIME_TYPE], env=env, check_rc=False).stdout
        first = out.splitlines()[0] if out else ""
        check(first.startswith("Default application") and first.endswith("lockwell.desktop"),
              "gio names lockwell.desktop as the default: " + out)
        out = run(["gio", "info", "-a", "standard::content-type", samples[0]], env=env,
                  check_rc=False).stdout
        check("standard::content-type: " + MIME_TYPE in out, "gio types a.fe2: " + out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    if shutil.which("dpkg-deb") is None or shutil.which("dpkg") is None:
        print("dpkg-deb is missing: not a Debian system")
        return SKIP
    need("desktop-file-validate", "update-desktop-database", "update-mime-database",
         "appstreamcli", "man", "xdg-mime", "mimetype")
    with tempfile.TemporaryDirectory(prefix="lockwell-package-") as tmp:
        deb = os.environ.get("LOCKWELL_PACKAGE_DEB") or build_deb(args, os.path.join(tmp, "cpack"))
        print("package: " + deb)
        check_control(deb, args.version)
        root = os.path.join(tmp, "root")
        fresh_root(root)
        dpkg(root, "-i", deb)
        share = os.path.join(root, "usr/share")
        # The caches are the postinst's work: nothing but dpkg ran since the install.
        with open(os.path.join(share, "mime/globs2")) as f:
            check("%s:*.fe2" % MIME_TYPE in f.read(), "postinst refreshed the MIME cache")
        with open(os.path.join(share, "applications/mimeinfo.cache")) as f:
            check("%s=lockwell.desktop;" % MIME_TYPE in f.read(), "postinst refreshed the desktop cache")
        check_files(root, args.source, args.version)
        check_validators(root)
        check_opener(tmp, root, installed=True)
        dpkg(root, "--purge", "lockwell")
        for rel in INSTALLED:
            check(not os.path.exists(os.path.join(root, rel)), "purge removed " + rel)
        check_opener(tmp, root, installed=False)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
