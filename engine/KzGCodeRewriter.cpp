#include "KzGCodeRewriter.h"

#include <cstring>

const char *const KzGCodeRewriter::StartMarker = ";KZVELLUM-START-CODE";
const char *const KzGCodeRewriter::EndMarker = ";KZVELLUM-END-CODE";

namespace {

bool LineIs(const char *begin, const char *end, const char *text)
{
    const size_t n = strlen(text);
    return size_t(end - begin) == n && memcmp(begin, text, n) == 0;
}

bool LineStarts(const char *begin, const char *end, const char *text)
{
    const size_t n = strlen(text);
    return size_t(end - begin) >= n && memcmp(begin, text, n) == 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

KzGCodeRewriter::KzGCodeRewriter(const QByteArray &firstLine, const QByteArray &startCode,
                                 const QByteArray &endCode, const QList<QByteArray> &header)
    : m_strFirstLine(firstLine), m_strStartCode(startCode), m_strEndCode(endCode), m_listHeader(header)
{
}

bool KzGCodeRewriter::IsPlaceholderHeader(const char *begin, const char *end)
{
    // The engine writes its header before it knows the figures; the true header
    // comes from its log instead.
    static const char *const prefixes[] = {";FLAVOR:", ";TIME:", ";Filament used:", ";Layer height:",
                                           ";MINX:", ";MINY:", ";MINZ:", ";MAXX:", ";MAXY:", ";MAXZ:"};
    if (begin == end)
        return true;
    for (const char *prefix : prefixes) {
        if (LineStarts(begin, end, prefix))
            return true;
    }
    return false;
}

void KzGCodeRewriter::AppendLine(const char *begin, const char *end, QByteArray &out)
{
    const bool move = end - begin >= 2 && begin[0] == 'G' && (begin[1] == '0' || begin[1] == '1')
                      && (end - begin == 2 || begin[2] == ' ');
    if (!move) {
        out.append(begin, int(end - begin));
        return;
    }
    const char *p = begin;
    while (p < end) {
        if (*p == ';') { // a comment: copied as it is
            out.append(p, int(end - p));
            break;
        }
        const char *word = p;
        while (p < end && *p != ' ' && *p != ';')
            ++p;
        out.append(word, int(p - word));
        if ((*word == 'X' || *word == 'Y' || *word == 'Z') && p - word > 1) {
            const char *digits = word + 1;
            if (*digits == '-' || *digits == '+')
                ++digits;
            bool whole = digits < p;
            for (const char *d = digits; d < p && whole; ++d)
                whole = IsDigit(*d);
            if (whole)
                out.append(".0", 2);
        }
        while (p < end && *p == ' ')
            out.append(*p++);
    }
}

void KzGCodeRewriter::AppendBodyLine(const char *begin, const char *end, QByteArray &out)
{
    if (LineStarts(begin, end, ";LAYER:")) {
        ++m_nLayerLines;
        if (end - begin > 7 && IsDigit(begin[7]))
            ++m_nModelLayers;
    }
    AppendLine(begin, end, out);
    out.append('\n');
}

void KzGCodeRewriter::AppendCode(const QByteArray &code, QByteArray &out)
{
    if (code.isEmpty())
        return;
    out.append(code);
    if (!code.endsWith('\n'))
        out.append('\n');
}

QByteArray KzGCodeRewriter::Rewrite(const QByteArray &engineGCode)
{
    m_nLayerLines = 0;
    m_nModelLayers = 0;
    QByteArray out;
    out.reserve(engineGCode.size() + engineGCode.size() / 20 + m_strStartCode.size() + 4096);
    out.append(m_strFirstLine).append('\n');
    AppendCode(m_strStartCode, out);
    for (const QByteArray &line : m_listHeader)
        out.append(line).append('\n');

    const char *p = engineGCode.constData();
    const char *const end = p + engineGCode.size();
    // Without the start marker the whole file is print; with it, what comes
    // before is the engine's preamble, of which only the placeholders are dropped.
    const bool hasStart = engineGCode.startsWith(QByteArray(StartMarker) + '\n')
                          || engineGCode.contains('\n' + QByteArray(StartMarker) + '\n');
    enum { Preamble, Body, Trailer } part = hasStart ? Preamble : Body;
    bool endWritten = false;
    while (p < end) {
        const char *eol = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = eol ? eol : end;
        const char *textEnd = lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        if (part == Preamble) {
            if (LineIs(p, textEnd, StartMarker))
                part = Body;
            else if (!IsPlaceholderHeader(p, textEnd))
                out.append(p, int(textEnd - p)).append('\n');
        } else if (part == Body && LineIs(p, textEnd, EndMarker)) {
            AppendCode(m_strEndCode, out);
            endWritten = true;
            part = Trailer;
        } else if (part == Body && !hasStart && m_nLayerLines == 0 && IsPlaceholderHeader(p, textEnd)) {
            // the engine's placeholder header, before any layer
        } else {
            AppendBodyLine(p, textEnd, out);
        }
        p = eol ? eol + 1 : end;
    }
    if (!endWritten)
        AppendCode(m_strEndCode, out);
    return out;
}
