#include "KzLegacyCommandLine.h"

bool KzLegacyCommandLine::Fail(const QString &error)
{
    m_strError = error;
    return false;
}

bool KzLegacyCommandLine::AddSetting(const QByteArray &pair)
{
    QByteArray text = pair;
    // A caller that split its command text without removing the quotes around
    // the pair still means the pair inside them.
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2);
    const int eq = text.indexOf('=');
    if (eq <= 0)
        return Fail(QStringLiteral("-s expects key=value, got \"%1\"").arg(QString::fromLocal8Bit(pair.left(80))));
    m_vecSettings.append({text.left(eq), text.mid(eq + 1)});
    return true;
}

bool KzLegacyCommandLine::Parse(const QList<QByteArray> &args)
{
    *this = KzLegacyCommandLine();
    for (int i = 0; i < args.size(); ++i) {
        const QByteArray &arg = args.at(i);
        if (arg == "-p") {
            m_bProgress = true;
        } else if (arg == "-v") {
            m_bVerbose = true;
        } else if (arg == "-s") {
            if (i + 1 >= args.size())
                return Fail(QStringLiteral("-s needs a key=value pair after it"));
            if (!AddSetting(args.at(++i)))
                return false;
        } else if (arg == "-o") {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty())
                return Fail(QStringLiteral("-o needs the output file after it"));
            if (!m_strOutput.isEmpty())
                return Fail(QStringLiteral("-o is given more than once"));
            m_strOutput = args.at(++i);
        } else if (arg.startsWith('-') && arg.size() > 1) {
            return Fail(QStringLiteral("unknown option \"%1\"").arg(QString::fromLocal8Bit(arg)));
        } else {
            if (i != args.size() - 1)
                return Fail(QStringLiteral("the mesh file must come last, but \"%1\" is followed by more arguments")
                                .arg(QString::fromLocal8Bit(arg)));
            if (arg.isEmpty())
                return Fail(QStringLiteral("the mesh file name is empty"));
            m_strInput = arg;
        }
    }
    if (m_strInput.isEmpty())
        return Fail(QStringLiteral("no mesh file given (it comes last on the line)"));
    if (m_strOutput.isEmpty())
        return Fail(QStringLiteral("no output file given (-o PATH)"));
    return true;
}
