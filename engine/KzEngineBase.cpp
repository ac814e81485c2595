#include "KzEngineBase.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QByteArray ValueText(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool() ? "true" : "false";
    if (value.isDouble())
        return QByteArray::number(value.toDouble(), 'g', 12);
    return value.toString().toUtf8();
}

} // namespace

void KzEngineBase::Collect(const QJsonObject &settings)
{
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        if (entry.contains(QStringLiteral("default_value")))
            m_mapValues.insert(it.key(), ValueText(entry.value(QStringLiteral("default_value"))));
        if (entry.contains(QStringLiteral("children")))
            Collect(entry.value(QStringLiteral("children")).toObject());
    }
}

bool KzEngineBase::Load(const QString &path)
{
    m_mapValues.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_strError = QStringLiteral("cannot read the engine settings base %1").arg(path);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject settings = doc.object().value(QStringLiteral("settings")).toObject();
    if (parseError.error != QJsonParseError::NoError || settings.isEmpty()) {
        m_strError = QStringLiteral("the engine settings base %1 is not a settings file (%2)")
                         .arg(path, parseError.errorString());
        return false;
    }
    Collect(settings);
    return true;
}
