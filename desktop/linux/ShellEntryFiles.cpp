#include "desktop/linux/ShellEntryFiles.h"

#include "desktop/DesktopQuote.h"

namespace lw {

std::string DesktopEntryFile(const std::string& program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Lockwell\n"
           "GenericName=File Encryption\n"
           "Comment=Encrypt, decrypt or securely wipe a file with a key phrase\n"
           "Exec=" +
           QuoteDesktopExec(program) +
           " %f\n"
           "TryExec=" +
           EscapeKeyFileString(program) +
           "\n"
           "Icon=lockwell\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=" +
           std::string(kMimeType) +
           ";\n"
           "Categories=Utility;\n";
}

std::string MimePackageFile()
{
    // No magic: the files have no header, so only the name tells the type. The generic
    // icon stands in where a toolkit cannot find ours.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" +
           std::string(kMimeType) +
           "\">\n"
           "    <comment>Lockwell encrypted file</comment>\n"
           "    <icon name=\"" +
           std::string(kMimeIconName) +
           "\"/>\n"
           "    <generic-icon name=\"package-x-generic\"/>\n"
           "    <glob pattern=\"*.fe2\"/>\n"
           "    <glob pattern=\"*.fez\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string KdeServiceMenuFile(const std::string& program, bool legacy)
{
    // all/allfiles means files only; Protocols=file keeps KIO from handing us a
    // downloaded temporary copy of a remote file.
    return "[Desktop Entry]\n"
           "Type=Service\n" +
           std::string(legacy ? "ServiceTypes=KonqPopupMenu/Plugin\n" : "") +
           "MimeType=all/allfiles;\n"
           "Actions=runLockwell;\n"
           "X-KDE-Priority=TopLevel\n"
           "X-KDE-RequiredNumberOfUrls=1\n"
           "X-KDE-Protocols=file\n"
           "\n"
           "[Desktop Action runLockwell]\n"
           "Name=Run Lockwell\n"
           "Icon=lockwell\n"
           "Exec=" +
           QuoteDesktopExec(program) + " %f\n";
}

std::string FileManagerScriptFile(const std::string& program, const std::string& pathsVariable)
{
    // One window a selected file. The arguments are names relative to the shown folder,
    // which is the working folder, and the file managers drop every "%" from them; the
    // variable has the exact paths, one a line. Only the argument holds a name with a line
    // break whole, so it wins when the list is exactly that path.
    return "#!/bin/sh\n"
           "# Written by Lockwell's registration; removed by its uninstall.\n"
           "LOCKWELL=" +
           QuotePosixShell(program) +
           "\n"
           "nl='\n'\n"
           "paths=$" +
           pathsVariable +
           "\n"
           "status=0\n"
           "run() {\n"
           "  [ -d \"$1\" ] && return 0\n"
           "  if [ ! -e \"$1\" ] && command -v notify-send >/dev/null 2>&1; then\n"
           "    notify-send \"Lockwell\" \"Cannot find $1\"\n"
           "    status=1\n"
           "    return 0\n"
           "  fi\n"
           "  # Else a missing file is reported by the program's own box.\n"
           "  \"$LOCKWELL\" \"$1\" &\n"
           "}\n"
           "f=$1\n"
           "case $f in ''|/*) ;; *) f=$PWD/$f ;; esac\n"
           "if [ -n \"$paths\" ] && [ \"$paths\" != \"$f$nl\" ] && [ \"$paths\" != \"$f\" ]; then\n"
           "  while [ -n \"$paths\" ]; do\n"
           "    p=${paths%%\"$nl\"*}\n"
           "    case $paths in *\"$nl\"*) paths=${paths#*\"$nl\"} ;; *) paths= ;; esac\n"
           "    [ -z \"$p\" ] || run \"$p\"\n"
           "  done\n"
           "elif [ $# -gt 0 ]; then\n"
           "  for a in \"$@\"; do\n"
           "    case $a in /*) ;; *) a=$PWD/$a ;; esac\n"
           "    run \"$a\"\n"
           "  done\n"
           "else\n"
           "  # Without a file the program would ask about installing.\n"
           "  exit 1\n"
           "fi\n"
           "exit $status\n";
}

std::string NemoActionFile(const std::string& program)
{
    // Nemo's %F is the path list and %f the display name.
    return "[Nemo Action]\n"
           "Name=Run Lockwell\n"
           "Comment=Encrypt, decrypt or securely wipe this file with Lockwell\n"
           "Exec=" +
           EscapeKeyFileString(DoublePercent(QuoteGLibShell(program))) +
           " %F\n"
           "Icon-Name=lockwell\n"
           "Selection=s\n"
           "Extensions=nodirs;\n";
}

std::string FileManagerActionFile(const std::string& program)
{
    // PCManFM labels the item with Tooltip when there is one, and a Schemes key makes it
    // crash on start when libfm-modules is installed: neither is written.
    return "[Desktop Entry]\n"
           "Type=Action\n"
           "Name=Run Lockwell\n"
           "Icon=lockwell\n"
           "Profiles=main;\n"
           "\n"
           "[X-Action-Profile main]\n"
           "Name=Run Lockwell\n"
           "Exec=" +
           QuoteDesktopExec(program) +
           " %f\n"
           "MimeTypes=all/allfiles;\n"
           "SelectionCount==1\n";
}

std::string ThunarActionElement(const std::string& program)
{
    // Thunar runs the command through sh after replacing %f with the quoted path. Only
    // elements every Thunar knows: before 4.16 an unknown one voids the whole file.
    return "<action>\n"
           "\t<icon>lockwell</icon>\n"
           "\t<name>Run Lockwell</name>\n"
           "\t<unique-id>" +
           std::string(kThunarUniqueId) +
           "</unique-id>\n"
           "\t<command>" +
           EscapeXmlText(DoublePercent(QuotePosixShell(program)) + " %f") +
           "</command>\n"
           "\t<description>Encrypt, decrypt or securely wipe this file</description>\n"
           "\t<patterns>*</patterns>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>";
}

} // namespace lw
