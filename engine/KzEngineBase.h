#ifndef KZENGINEBASE_H
#define KZENGINEBASE_H

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

// The settings base shipped beside the bridge: a settings file in the engine's
// own -j format, grouped into categories. It gives the engine a value for every
// setting it reads; the legacy line then overrides a few of them.
class KzEngineBase
{
public:
    bool Load(const QString &path);
    QString GetError() const { return m_strError; }

    // Every leaf setting with its default value as the text the engine reads.
    const QMap<QString, QByteArray> &GetValues() const { return m_mapValues; }
    QByteArray GetValue(const QString &key) const { return m_mapValues.value(key); }

private:
    void Collect(const QJsonObject &settings);

    QMap<QString, QByteArray> m_mapValues;
    QString m_strError;
};

#endif
