#include "desktop/ShellEntries.h"

#include <QFile>
#include <algorithm>
#include <set>

#include "platform/AtomicWrite.h"
#include "desktop/DesktopQuote.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Path.h"
#include "platform/ProgramPath.h"
#include "platform/WholeFile.h"
#include "platform/XdgDirs.h"
#include "desktop/linux/MimeAppsList.h"
#include "desktop/linux/Programs.h"
#include "desktop/linux/ShellEntryFiles.h"
#include "desktop/linux/ThunarActions.h"

// The icons live in this static library's resources, which the linker keeps only when
// something refers to them; the declaration must sit outside any namespace.
static void InitShellResources()
{
    Q_INIT_RESOURCE(lockwell);
}

namespace lw {
namespace {

struct TPlaces {
    std::string data = xdg::DataHome();
    std::string conf = xdg::ConfigHome();

    std::string Marker() const { return data + "/applications/" + kDesktopId; }
    std::string Launcher() const { return data + "/lockwell/bin/lockwell"; }
    std::string MimePackage() const { return data + "/mime/packages/lockwell-encrypted.xml"; }
    std::string Icons() const { return data + "/icons/hicolor"; }
    std::string Thunar() const { return conf + "/Thunar/uca.xml"; }
};

struct TMenuFile {
    std::string TPlaces::*base;
    const char* relative;
    std::string (*content)(const std::string& program);
    mode_t mode; // KDE runs service menus only from executable files
};

// "Run Lockwell" for each file manager that reads a file of its own.
const TMenuFile kMenuFiles[] = {
    {&TPlaces::data, "/kio/servicemenus/lockwell.desktop",
     [](const std::string& p) { return KdeServiceMenuFile(p, false); }, 0755},
    {&TPlaces::data, "/kservices5/ServiceMenus/lockwell.desktop",
     [](const std::string& p) { return KdeServiceMenuFile(p, true); }, 0755},
    {&TPlaces::data, "/nautilus/scripts/Run Lockwell",
     [](const std::string& p) { return FileManagerScriptFile(p, kNautilusPathsVariable); }, 0755},
    {&TPlaces::conf, "/caja/scripts/Run Lockwell",
     [](const std::string& p) { return FileManagerScriptFile(p, kCajaPathsVariable); }, 0755},
    {&TPlaces::data, "/nemo/actions/lockwell.nemo_action", NemoActionFile, 0644},
    {&TPlaces::data, "/file-manager/actions/lockwell.desktop", FileManagerActionFile, 0644},
};

struct TIcon {
    const char* resource;
    const char* size;
    const char* extension;
};

// Every size the resources hold, so no toolkit has to scale or fall back.
const TIcon kIcons[] = {
    {":/icons/lockwell-32.png", "32x32", ".png"},
    {":/icons/lockwell-48.png", "48x48", ".png"},
    {":/icons/lockwell-256.png", "256x256", ".png"},
    {":/icons/lockwell.svg", "scalable", ".svg"},
};

std::string IconFolder(const TPlaces& places, const TIcon& icon, bool forFileType)
{
    return places.Icons() + "/" + icon.size + (forFileType ? "/mimetypes" : "/apps");
}

std::string IconPath(const TPlaces& places, const TIcon& icon, bool forFileType)
{
    return IconFolder(places, icon, forFileType) + "/" + (forFileType ? kMimeIconName : "lockwell") + icon.extension;
}

constexpr const char* kIconCache = "icon-theme.cache";

[[noreturn]] void FailWrite()
{
    throw Exception(kShellEntryWriteError);
}

// A row whose folder cannot be made is skipped; one that cannot be written ends the run.
void WriteRow(const std::string& path, std::string_view content, mode_t mode)
{
    if (!MakeFolders(path::ExtractFilePath(path)))
        return;
    if (!WriteFileAtomically(path, content, mode))
        FailWrite();
}

// Deletes a file of ours and then the folders on its path that it leaves empty, up to
// the base folder; true when the file was there.
bool DropFile(const std::string& base, const std::string& path)
{
    if (fs::Unlink(path) != 0)
        return false;
    RemoveEmptyFoldersUpTo(base, path::ExtractFilePath(path));
    return true;
}

// The cache tools are optional; their outcome changes nothing for us. `dir`, the folder
// the tool works on, comes last after `options`.
void RunToolIfPresent(const char* tool, const std::string& dir, std::vector<std::string> options = {})
{
    if (!fs::DirectoryExists(dir))
        return;
    const std::string program = FindProgramOnPath(tool);
    if (program.empty())
        return;
    options.insert(options.begin(), program);
    options.push_back(dir);
    RunQuietly(program, std::move(options), std::chrono::minutes(1));
}

// Paths that some launcher would mangle are reached through a plain-named symlink.
std::string LauncherCommand(const TPlaces& places, const std::string& program)
{
    if (IsLauncherSafePath(program))
        return program;
    const std::string link = places.Launcher();
    // Some launchers expand a "%" even where the entry doubles it; a link under such a
    // folder helps nothing, and no folder of the user's lies outside it.
    if (link.find('%') != std::string::npos)
        throw Exception("The file managers' entries cannot be written: the path of the home folder (" + places.data +
                        ") holds \"%\", which some launchers take for a code of their own");
    if (!MakeFolders(path::ExtractFilePath(link)))
        return program;
    if (!CreateSymlinkAtomically(program, link))
        FailWrite();
    return link;
}

std::string SystemThunarActions()
{
    for (const std::string& dir : xdg::ConfigDirs()) {
        std::string text;
        if (ReadWholeFile(dir + "/Thunar/uca.xml", text))
            return text;
    }
    return {};
}

// Thunar reads the user's file instead of the system one, so a new user file starts as
// a copy of the system actions.
void AddThunarAction(const TPlaces& places, const std::string& command)
{
    const std::string path = FollowSymlinks(places.Thunar());
    if (!MakeFolders(path::ExtractFilePath(path)))
        return;
    const std::string action = ThunarActionElement(command);
    std::optional<std::string> merged;
    if (EntryExists(path)) {
        std::string text;
        if (!ReadWholeFile(path, text))
            return;
        merged = MergeThunarAction(text, kThunarUniqueId, action);
    } else {
        const std::string seed = SystemThunarActions();
        merged = seed.empty() ? std::nullopt : MergeThunarAction(seed, kThunarUniqueId, action);
        if (!merged)
            merged = NewThunarActions(action);
    }
    if (!merged)
        return; // not well-formed: leave the user's file alone
    if (!WriteFileAtomically(path, *merged, FilePermissions(path, 0644)))
        FailWrite();
}

void DropThunarAction(const TPlaces& places)
{
    const std::string path = FollowSymlinks(places.Thunar());
    std::string text;
    if (!ReadWholeFile(path, text))
        return;
    const std::optional<std::string> removed = RemoveThunarAction(text, kThunarUniqueId);
    if (!removed || *removed == text)
        return;
    // A copy of the system actions would hide later changes to them, and with no system
    // file an empty list and no file mean the same to Thunar: either way the file goes.
    const std::string system = SystemThunarActions();
    if (path == places.Thunar() && (*removed == system || (IsEmptyThunarActions(*removed) && system.empty())))
        DropFile(places.conf, path);
    else
        WriteFileAtomically(path, *removed, FilePermissions(path, 0644));
}

// What update-mime-database builds from the packages. With no package left, none of it
// holds anything of the user's: the files and the media types' folders of .xml files go.
void DropBuiltMimeDatabase(const std::string& mime)
{
    static const std::set<std::string> kBuilt = {"aliases", "generic-icons", "globs",      "globs2",
                                                  "icons",   "magic",         "mime.cache", "subclasses",
                                                  "treemagic", "types",       "version",    "XMLnamespaces"};
    for (const std::string& name : ListFolder(mime)) {
        const std::string path = mime + "/" + name;
        if (kBuilt.contains(name)) {
            fs::Unlink(path);
        } else if (name != "packages" && fs::DirectoryExists(path)) {
            const std::vector<std::string> types = ListFolder(path);
            if (std::all_of(types.begin(), types.end(), [](const std::string& t) { return t.ends_with(".xml"); }))
                for (const std::string& type : types)
                    fs::Unlink(path + "/" + type);
            RemoveEmptyFolder(path);
        }
    }
}

// The desktop database's cache with nothing but its header indexes nothing.
void DropEmptyMimeInfoCache(const TPlaces& places)
{
    const std::string cache = places.data + "/applications/mimeinfo.cache";
    constexpr std::string_view kHeader = "[MIME Cache]";
    std::string text;
    if (!ReadWholeFile(cache, text))
        return;
    const size_t header = text.find(kHeader);
    if (header != std::string::npos && IsBlankText(text.substr(0, header)) &&
        IsBlankText(text.substr(header + kHeader.size())))
        DropFile(places.data, cache);
}

void SetDefaultOpener(const TPlaces& places)
{
    if (!MakeFolders(places.conf))
        return;
    const std::string path = FollowSymlinks(places.conf + "/mimeapps.list");
    std::string text;
    if (EntryExists(path) && !ReadWholeFile(path, text))
        return;
    if (!WriteFileAtomically(path, SetDefaultApplication(text, kMimeType, kDesktopId), FilePermissions(path, 0644)))
        FailWrite();
}

bool IsMimeAppsList(const std::string& name)
{
    const std::string suffix = "-mimeapps.list";
    return name == "mimeapps.list" ||
           (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

// The desktop-specific lists override the common one, so each loses our entries.
void RemoveDefaultOpener(const TPlaces& places)
{
    for (const std::string& name : ListFolder(places.conf)) {
        if (!IsMimeAppsList(name))
            continue;
        const std::string listed = places.conf + "/" + name;
        const std::string path = FollowSymlinks(listed);
        std::string text;
        if (!ReadWholeFile(path, text))
            continue;
        const std::string edited = RemoveApplication(text, kMimeType, kDesktopId);
        if (edited == text)
            continue;
        if (IsBlankText(edited) && path == listed)
            fs::Unlink(path);
        else
            WriteFileAtomically(path, edited, FilePermissions(path, 0644));
    }
}

void WriteIcons(const TPlaces& places)
{
    InitShellResources();
    for (const TIcon& icon : kIcons) {
        QFile resource(QString::fromLatin1(icon.resource));
        if (!resource.open(QIODevice::ReadOnly))
            FailWrite();
        const QByteArray bytes = resource.readAll();
        const std::string_view content(bytes.constData(), static_cast<size_t>(bytes.size()));
        WriteRow(IconPath(places, icon, false), content, 0644);
        WriteRow(IconPath(places, icon, true), content, 0644);
    }
    // Touched before the cache is built, so the new cache is not older than its folder,
    // which would make GTK ignore it.
    TouchFolder(places.Icons());
    RunToolIfPresent("gtk-update-icon-cache", places.Icons(), {"-f", "-t"});
}

// The icon cache goes with the last icon: one that indexes nothing is ours or stale.
// While other icons remain it is rebuilt, or left older than its folder for GTK to skip.
void DropIcons(const TPlaces& places)
{
    bool iconGone = false;
    for (const TIcon& icon : kIcons)
        for (bool forFileType : {false, true})
            iconGone |= DropFile(places.Icons(), IconPath(places, icon, forFileType));
    if (!iconGone)
        return;
    const std::string cache = places.Icons() + "/" + kIconCache;
    if (HoldsNothingBut(places.Icons(), kIconCache)) {
        fs::Unlink(cache);
        RemoveEmptyFoldersUpTo(places.data, places.Icons());
        return;
    }
    TouchFolder(places.Icons());
    if (EntryExists(cache))
        RunToolIfPresent("gtk-update-icon-cache", places.Icons(), {"-f", "-t"});
}

} // namespace

void InstallShellEntries()
{
    InstallShellEntries(ProgramPath());
}

void InstallShellEntries(const std::string& programPath)
{
    const TPlaces places;
    if (EntryExists(places.Marker()))
        return;
    if (programPath.empty())
        FailWrite();
    const std::string command = LauncherCommand(places, programPath);

    for (const TMenuFile& file : kMenuFiles)
        WriteRow(places.*file.base + file.relative, file.content(command), file.mode);
    AddThunarAction(places, command);

    WriteRow(places.MimePackage(), MimePackageFile(), 0644);
    RunToolIfPresent("update-mime-database", places.data + "/mime");

    WriteIcons(places);

    // The marker goes last, so an interrupted install is not taken for a complete one.
    SetDefaultOpener(places);
    WriteRow(places.Marker(), DesktopEntryFile(command), 0644);
    RunToolIfPresent("update-desktop-database", places.data + "/applications");
}

void RemoveShellEntries()
{
    const TPlaces places;
    // Folders are pruned only where a file of ours went, and caches rebuilt only when
    // something of ours left, so removing from a clean state changes nothing at all.
    const bool hadMarker = DropFile(places.data, places.Marker());

    for (const TMenuFile& file : kMenuFiles)
        DropFile(places.*file.base, places.*file.base + file.relative);
    DropThunarAction(places);

    // The database tool wants its packages folder, so that goes only after the rebuild.
    if (fs::Unlink(places.MimePackage()) == 0) {
        const std::string mime = places.data + "/mime";
        if (ListFolder(mime + "/packages").empty())
            DropBuiltMimeDatabase(mime);
        else
            RunToolIfPresent("update-mime-database", mime);
        RemoveEmptyFoldersUpTo(places.data, path::ExtractFilePath(places.MimePackage()));
    }

    DropIcons(places);

    RemoveDefaultOpener(places);
    if (hadMarker) {
        RunToolIfPresent("update-desktop-database", places.data + "/applications");
        DropEmptyMimeInfoCache(places);
    }

    fs::Unlink(places.Launcher());
    RemoveEmptyFolder(places.data + "/lockwell/bin");
    RemoveEmptyFolder(places.data + "/lockwell");
}

} // namespace lw
