#include "desktop/linux/ThunarActions.h"

#include <QString>
#include <QXmlStreamReader>
#include <vector>

namespace lw {
namespace {

struct TRange {
    qsizetype start;
    qsizetype end;
};

struct TActionList {
    QString text;
    std::vector<TRange> ours;   // our <action> elements, in file order
    qsizetype rootStartTag = 0; // start of <actions ...>
    qsizetype rootOpenEnd = 0;  // just after the start tag
    qsizetype rootClose = 0;    // start of </actions>, or of "/>" when the root is empty
    bool rootSelfClosing = false;
    int children = 0; // elements directly inside the root
};

// The reader reports where a token ends; a tag starts at the last "<" before that,
// since "<" cannot occur inside a tag.
qsizetype TagStart(const QString& text, qsizetype tagEnd)
{
    return text.lastIndexOf(u'<', tagEnd - 1);
}

std::optional<TActionList> Scan(const std::string& bytes, const std::string& uniqueId)
{
    TActionList list;
    list.text = QString::fromStdString(bytes);
    // Text that does not survive the round trip (not UTF-8) cannot be spliced byte-exactly.
    if (list.text.toStdString() != bytes)
        return std::nullopt;

    QXmlStreamReader reader(list.text);
    const QString id = QString::fromStdString(uniqueId);
    int depth = 0;
    bool rootSeen = false;
    qsizetype actionStart = -1;
    bool inUniqueId = false, actionIsOurs = false;
    QString uniqueText;
    while (!reader.atEnd()) {
        reader.readNext();
        const qsizetype end = reader.characterOffset();
        if (reader.isStartElement()) {
            ++depth;
            if (depth == 1) {
                if (rootSeen || reader.name() != u"actions")
                    return std::nullopt;
                rootSeen = true;
                list.rootStartTag = TagStart(list.text, end);
                list.rootOpenEnd = end;
            } else if (depth == 2) {
                ++list.children;
                if (reader.name() == u"action") {
                    actionStart = TagStart(list.text, end);
                    actionIsOurs = false;
                }
            } else if (depth == 3 && actionStart >= 0 && reader.name() == u"unique-id") {
                inUniqueId = true;
                uniqueText.clear();
            }
        } else if (reader.isCharacters() && inUniqueId) {
            uniqueText += reader.text();
        } else if (reader.isEndElement()) {
            if (depth == 3 && inUniqueId) {
                inUniqueId = false;
                if (uniqueText.trimmed() == id)
                    actionIsOurs = true;
            } else if (depth == 2 && actionStart >= 0) {
                if (actionIsOurs)
                    list.ours.push_back({actionStart, end});
                actionStart = -1;
            } else if (depth == 1) {
                list.rootSelfClosing = end == list.rootOpenEnd;
                list.rootClose = list.rootSelfClosing ? list.text.lastIndexOf(u'/', end - 1) : TagStart(list.text, end);
            }
            --depth;
        }
    }
    if (reader.hasError() || !rootSeen)
        return std::nullopt;
    return list;
}

bool AtLineStart(const QString& text, qsizetype pos)
{
    while (pos > 0 && (text[pos - 1] == u' ' || text[pos - 1] == u'\t'))
        --pos;
    return pos == 0 || text[pos - 1] == u'\n';
}

// Cuts one element out; when it filled its own line, the line goes with it.
void CutElement(QString& text, TRange range)
{
    qsizetype start = range.start;
    qsizetype end = range.end;
    if (AtLineStart(text, start) && end < text.size() && text[end] == u'\n') {
        while (start > 0 && (text[start - 1] == u' ' || text[start - 1] == u'\t'))
            --start;
        ++end;
    } else if (start > 0 && text[start - 1] == u'\n') {
        --start; // we put it on a line of its own after foreign text
    }
    text.remove(start, end - start);
}

} // namespace

std::optional<std::string> MergeThunarAction(const std::string& bytes, const std::string& uniqueId,
                                             const std::string& action)
{
    std::optional<TActionList> list = Scan(bytes, uniqueId);
    if (!list)
        return std::nullopt;
    QString& text = list->text;
    const QString ours = QString::fromStdString(action);
    if (!list->ours.empty()) {
        // Replace the first in place, drop any copies after it (back to front, so the
        // earlier ranges keep their offsets).
        for (size_t i = list->ours.size(); i-- > 1;)
            CutElement(text, list->ours[i]);
        text.replace(list->ours[0].start, list->ours[0].end - list->ours[0].start, ours);
    } else if (list->rootSelfClosing) {
        text.replace(list->rootClose, list->rootOpenEnd - list->rootClose, ">\n" + ours + "\n</actions>");
    } else if (AtLineStart(text, list->rootClose)) {
        qsizetype at = list->rootClose;
        while (at > 0 && (text[at - 1] == u' ' || text[at - 1] == u'\t'))
            --at;
        text.insert(at, ours + "\n");
    } else {
        text.insert(list->rootClose, "\n" + ours);
    }
    return text.toStdString();
}

std::optional<std::string> RemoveThunarAction(const std::string& bytes, const std::string& uniqueId)
{
    std::optional<TActionList> list = Scan(bytes, uniqueId);
    if (!list)
        return std::nullopt;
    for (size_t i = list->ours.size(); i-- > 0;)
        CutElement(list->text, list->ours[i]);
    return list->text.toStdString();
}

std::string NewThunarActions(const std::string& action)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + action + "\n</actions>\n";
}

bool IsEmptyThunarActions(const std::string& text)
{
    const std::optional<TActionList> list = Scan(text, {});
    return list && list->children == 0;
}

} // namespace lw
