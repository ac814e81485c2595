#include "KzModelWriter.h"

#include <QDebug>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace {

const char kHeaderTag[] = "quillon-meshworks42";
const int kHeaderSize = 80;
const int kRecordSize = 50;
const int kBlockBytes = 1 << 20;
const quint16 kAttribute = 12;

void PutFloat(char*& p, float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    qToLittleEndian(bits, p);
    p += 4;
}

void PutVector(char*& p, const QVector3D& v)
{
    PutFloat(p, v.x());
    PutFloat(p, v.y());
    PutFloat(p, v.z());
}

QString Fixed(float value)
{
    return QString::number(double(value), 'f', 6);
}

} // namespace

bool KzModelWriter::Put(QSaveFile& file, const char* data, qint64 size)
{
    return file.write(data, size) == size;
}

bool KzModelWriter::WriterBinary(QString path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "cannot write" << path << file.errorString();
        return false;
    }
    std::vector<char> block(size_t(kBlockBytes / kRecordSize * kRecordSize));
    char header[kHeaderSize + 4] = {};
    std::memcpy(header, kHeaderTag, sizeof kHeaderTag - 1);
    qToLittleEndian(quint32(m_vecTriangles.size()), header + kHeaderSize);
    bool ok = Put(file, header, sizeof header);
    char* p = block.data();
    for (int i = 0; ok && i < m_vecTriangles.size(); ++i) {
        const KzTriangle3D& tri = m_vecTriangles.at(i);
        PutVector(p, tri.GetNormal());
        for (int c = 0; c < 3; ++c)
            PutVector(p, tri[c]);
        qToLittleEndian(kAttribute, p);
        p += 2;
        if (p == block.data() + block.size() || i + 1 == m_vecTriangles.size()) {
            ok = Put(file, block.data(), p - block.data());
            p = block.data();
        }
    }
    // commit() flushes; a full disk or a vanished drive shows up here at the latest.
    if (!ok || !file.commit()) {
        qDebug() << "writing" << path << "failed:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool KzModelWriter::WriterASCII(QString path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "cannot write" << path << file.errorString();
        return false;
    }
    QString text = QStringLiteral("solid\n");
    bool ok = true;
    for (int i = 0; ok && i < m_vecTriangles.size(); ++i) {
        const KzTriangle3D& tri = m_vecTriangles.at(i);
        const QVector3D n = tri.GetNormal();
        text += QLatin1String("facet normal ") + Fixed(n.x()) + QLatin1Char(' ') + Fixed(n.y())
                + QLatin1Char(' ') + Fixed(n.z()) + QLatin1String("\nouter loop\n");
        for (int c = 0; c < 3; ++c) {
            text += QLatin1String("vertex ") + QString::number(double(tri[c].x()), 'g', 6)
                    + QLatin1Char(' ') + Fixed(tri[c].y()) + QLatin1Char(' ') + Fixed(tri[c].z())
                    + QLatin1Char('\n');
        }
        text += QLatin1String("endloop\nendfacet\n");
        if (text.size() >= kBlockBytes) {
            const QByteArray bytes = text.toLatin1();
            ok = Put(file, bytes.constData(), bytes.size());
            text.clear();
        }
    }
    if (ok && !text.isEmpty()) {
        const QByteArray bytes = text.toLatin1();
        ok = Put(file, bytes.constData(), bytes.size());
    }
    if (!ok || !file.commit()) {
        qDebug() << "writing" << path << "failed:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
