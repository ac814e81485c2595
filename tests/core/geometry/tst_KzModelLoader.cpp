#include "KzMeshFixtures.h"
#include "KzModel3D.h"
#include "KzModelLoader.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

#include <sys/stat.h>

#include <memory>

using namespace KzMeshFixtures;

class TestKzModelLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!WriteBytes(path, bytes))
            return QString();
        return path;
    }

    // Loads a file that must be accepted.
    static std::unique_ptr<KzModel3D> Load(const QString& path)
    {
        auto model = std::make_unique<KzModel3D>();
        if (!model->LoadSTLFile(path) || !model->ReadyToRender())
            return nullptr;
        return model;
    }

    static bool SameCorners(const KzTriangle3D& t, const Facet& f)
    {
        return t[0] == f.corner[0] && t[1] == f.corner[1] && t[2] == f.corner[2];
    }

    static bool SameMesh(const KzModel3D& model, const std::vector<Facet>& facets)
    {
        if (model.Count() != int(facets.size()))
            return false;
        for (int i = 0; i < model.Count(); ++i) {
            if (!SameCorners(model.Item(i), facets[size_t(i)]))
                return false;
        }
        return true;
    }

    static QByteArray Facet3(const char* a, const char* b, const char* c, const char* eol = "\n")
    {
        return QByteArray("facet normal 0 0 0") + eol + "outer loop" + eol + "vertex " + a + eol + "vertex " + b
               + eol + "vertex " + c + eol + "endloop" + eol + "endfacet" + eol;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void registersTriangleMetaType()
    {
        KzModelLoader loader;
        QVERIFY(QMetaType::type("KzTriangle3D") != QMetaType::UnknownType);
    }

    // A tetrahedron has fewer than seven facets: it must still read as ASCII.
    void asciiTetrahedron()
    {
        auto model = Load(Write("tetra.stl", AsciiStl(Tetrahedron())));
        QVERIFY(model);
        QVERIFY(SameMesh(*model, Tetrahedron()));
        // Outward corner order gives outward normals; the file's zero normals are ignored.
        QCOMPARE(model->Item(0).GetNormal(), QVector3D(0, 0, -1));
        QVERIFY(qFuzzyCompare(model->Item(3).GetNormal(), QVector3D(1, 1, 1).normalized()));
        QCOMPARE(model->GetCenter(), QVector3D(5, 5, 5));
    }

    void asciiLayouts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        const QByteArray f = Facet3("0 0 0", "1 0 0", "0 1 0");
        QTest::newRow("seven facets") << AsciiStl(Grid(7)) << 7;
        QTest::newRow("crlf") << AsciiStl(Tetrahedron(), "\r\n") << 4;
        QByteArray comments = "solid c\n";
        for (int i = 0; i < 40; ++i)
            comments += "\n";
        QTest::newRow("blank lines before the first facet") << comments + f + "endsolid\n" << 1;
        QTest::newRow("indented with tabs, no final newline")
            << QByteArray("solid\n\tfacet normal 1 2 3\n\t\touter loop\n\t\t\tvertex\t0 0 0\n\t\t\tvertex 1 0 0\n"
                          "\t\t\tvertex 0 1 0\n\t\tendloop\n\tendfacet")
            << 1;
        QTest::newRow("leading space before solid") << "  solid x\n" + f << 1;
        QTest::newRow("upper-case vertex is not a corner")
            << "solid\n" + Facet3("0 0 0", "1 0 0", "0 1 0").replace("vertex 1 0 0", "VERTEX 1 0 0") + f << 1;
        QTest::newRow("two corners only: skipped")
            << "solid\nfacet\nvertex 0 0 0\nvertex 1 0 0\nendfacet\n" + f << 1;
        QTest::newRow("upper-case end marker runs into a fourth corner")
            << "solid\n" + f + QByteArray(f).replace("endfacet", "ENDFACET") + f << 1;
        QTest::newRow("fourth corner stops reading") << "solid\n" + f + f
                                                            + "facet\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
                                                              "vertex 0 0 1\nendfacet\n"
                                                            + f
                                                     << 2;
        QTest::newRow("no facets") << QByteArray("solid empty\nvertex 1 2 3\nendsolid empty\n") << 0;
    }

    void asciiLayouts()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        auto model = Load(Write("layout.stl", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), count);
        for (int i = 0; i < count; ++i)
            QVERIFY(model->Item(i).GetNormal().length() > 0.99f);
    }

    void asciiNumbers_data()
    {
        QTest::addColumn<QByteArray>("words");
        QTest::addColumn<QVector3D>("corner");
        QTest::newRow("plain") << QByteArray("1.5 -2 3e2") << QVector3D(1.5f, -2, 300);
        QTest::newRow("signs and dots") << QByteArray("+1.5 .5 7.") << QVector3D(1.5f, 0.5f, 7);
        QTest::newRow("too small for a float is 0") << QByteArray("1e-400 -1e-50 0x1p-2000") << QVector3D(0, 0, 0);
        QTest::newRow("more words are ignored") << QByteArray("4 5 6 7 8") << QVector3D(4, 5, 6);
    }

    void asciiNumbers()
    {
        QFETCH(QByteArray, words);
        QFETCH(QVector3D, corner);
        const QByteArray text = "solid\n" + Facet3(words.constData(), "10 20 30", "10 21 30");
        auto model = Load(Write("numbers.stl", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), 1);
        QCOMPARE(model->Item(0)[0], corner);
    }

    // Corners read exactly as QString::toFloat reads them, over many spellings.
    void asciiNumbersMatchQtParsing()
    {
        QRandomGenerator rng(99);
        QVector<QByteArray> words;
        for (int i = 0; i < 7000; ++i) {
            const double magnitude = std::pow(10.0, rng.bounded(20.0) - 10);
            const double value = (rng.bounded(2) ? -1 : 1) * rng.generateDouble() * magnitude;
            switch (i % 7) {
            case 0: words.append(QByteArray::number(value, 'e', int(rng.bounded(12)))); break;
            case 1: words.append(QByteArray::number(value, 'f', int(rng.bounded(12)))); break;
            case 2: words.append(QByteArray::number(value, 'g', 17)); break;
            case 3: words.append(QByteArray::number(qint64(value * 1000))); break;
            case 4: words.append(QByteArray::number(value, 'g', 25) + "00"); break;   // long mantissas
            case 5: words.append("+" + QByteArray::number(std::abs(value), 'E', 3)); break;
            default: {
                // Next to a point halfway between two floats: the hard case for rounding.
                const float f = float(value);
                const double halfway = (double(f) + double(std::nextafter(f, 2 * f))) / 2;
                words.append(QByteArray::number(halfway + halfway * 1e-16 * (int(rng.bounded(5)) - 2), 'g', 17));
                break;
            }
            }
        }
        QByteArray text = "solid\n";
        for (int i = 0; i + 9 <= words.size(); i += 9) {
            text += "facet\n";
            for (int c = 0; c < 3; ++c)
                text += "vertex " + words[i + 3 * c] + " " + words[i + 3 * c + 1] + " " + words[i + 3 * c + 2] + "\n";
            text += "endfacet\n";
        }
        auto model = Load(Write("spellings.stl", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), words.size() / 9);
        for (int i = 0; i < model->Count(); ++i) {
            for (int c = 0; c < 3; ++c) {
                for (int axis = 0; axis < 3; ++axis) {
                    const QByteArray& word = words[i * 9 + c * 3 + axis];
                    const float expected = QString::fromLatin1(word).toFloat();
                    if (model->Item(i)[c][axis] != expected)
                        QFAIL(qPrintable("read " + QString::number(double(model->Item(i)[c][axis]), 'g', 9) + " for "
                                         + QString::fromLatin1(word)));
                }
            }
        }
    }

    // Several megabytes: lines straddle the reader's blocks.
    void asciiLargeFile()
    {
        const std::vector<Facet> facets = Grid(30000);
        auto model = Load(Write("large.stl", AsciiStl(facets)));
        QVERIFY(model);
        QCOMPARE(model->Count(), 30000);
        for (int i = 0; i < model->Count(); ++i) {
            for (int c = 0; c < 3; ++c) {
                if (!qFuzzyCompare(model->Item(i)[c] + QVector3D(1, 1, 1), facets[size_t(i)].corner[c] + QVector3D(1, 1, 1)))
                    QFAIL(qPrintable(QString("facet %1 corner %2 differs").arg(i).arg(c)));
            }
        }
    }

    void binaryCountAndRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        std::vector<Facet> twelve = Grid(12);
        for (Facet& f : twelve)
            f.normal = QVector3D(9, -9, 9);   // stored normals have no effect
        QTest::newRow("twelve") << BinaryStl(twelve, -1, QByteArray(), 0xBEEF) << 12;
        QTest::newRow("count beyond the data keeps complete records")
            << BinaryStl(Grid(4), 10).append("half a record") << 4;
        QTest::newRow("huge count, tiny file") << BinaryStl(Grid(2), 0xFFFFFFFFLL) << 2;
        QTest::newRow("count below the records") << BinaryStl(Grid(5), 3) << 3;
        QTest::newRow("shorter than a header") << QByteArray("abc") << 0;
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("header only, count 0") << BinaryStl({}) << 0;
        QTest::newRow("solid without corners reads as binary")
            << QByteArray("solid nothing\nendsolid nothing\n") << 0;
    }

    void binaryCountAndRecords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        auto model = Load(Write("binary.stl", bytes));
        QVERIFY(model);
        QCOMPARE(model->Count(), count);
        const std::vector<Facet> grid = Grid(count);
        QVERIFY(SameMesh(*model, grid));
        if (count > 0)
            QCOMPARE(model->Item(0).GetNormal(), QVector3D(0, 0, 1));
    }

    // A binary file whose header reads like ASCII STL: the exact size decides.
    void binaryWithTextHeader()
    {
        const QByteArray header = "solid disguised\nfacet normal 0 0 1\nouter loop\nvertex 1 2 3\nvertex 4 5 6\n";
        QCOMPARE(header.size() <= 80, true);
        std::vector<Facet> facets = Grid(2);
        auto model = Load(Write("disguised.stl", BinaryStl(facets, -1, header)));
        QVERIFY(model);
        QVERIFY(SameMesh(*model, facets));
    }

    // A corner that is not a finite number (nan, inf, beyond a float, or no
    // number at all) leaves its facet out, in every format; the report
    // counts it, and the bounds are those of the facets kept.
    void unusableCornersDropTheirFacet_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("dropped");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        std::vector<Facet> binary = Tetrahedron();
        binary.insert(binary.begin() + 1, {QVector3D(), {QVector3D(0, 0, 0), QVector3D(nan, 1, 0), QVector3D(0, 1, 0)}});
        binary.push_back({QVector3D(), {QVector3D(0, 0, -inf), QVector3D(1, 0, 0), QVector3D(0, 1, 0)}});
        QTest::newRow("binary nan and inf") << "bad.stl" << BinaryStl(binary) << 2;
        QByteArray ascii = "solid\n";
        for (const char* word : {"nan", "inf", "-1e39", "abc", "1,5", "2x"})
            ascii += Facet3("0 0 0", (QByteArray(word) + " 1 0").constData(), "0 1 0");
        ascii += AsciiStl(Tetrahedron()).mid(int(sizeof("solid test")));
        QTest::newRow("ascii words") << "bad.stl" << ascii << 6;
        const QByteArray obj = "v 0 0 0\nv 10 0 0\nv 0 10 0\nv 0 0 10\nv nan 1 2\nv 1 1e39 2\nv 1 2 abc\n"
                               "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\nf 1 2 5\nf 6 1 2\nf 1 7 2\n";
        QTest::newRow("obj vertices") << "bad.obj" << obj << 3;
    }

    void unusableCornersDropTheirFacet()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, dropped);
        auto model = Load(Write(name, bytes));
        QVERIFY(model);
        QCOMPARE(model->Count(), 4);   // the tetrahedron's facets
        QCOMPARE(model->MinBound(), QVector3D(0, 0, 0));
        QCOMPARE(model->MaxBound(), QVector3D(10, 10, 10));
        const KzLoadReport& report = model->GetLoadReport();
        QCOMPARE(report.GetDropped(), qint64(dropped));
        QCOMPARE(report.GetFacets(), qint64(4));
        QVERIFY(report.IsUsable());
    }

    void pathDecidesFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("count");
        const QByteArray obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
        QTest::newRow("upper-case STL") << "UPPER.STL" << AsciiStl(Tetrahedron()) << true << 4;
        QTest::newRow("mixed-case Obj") << "mixed.Obj" << obj << true << 1;
        QTest::newRow(".obj in a folder wins over .stl") << "parts.obj/real.stl" << obj << true << 1;
        QTest::newRow("3mf") << "model.3mf" << obj << false << 0;
        QTest::newRow("no suffix") << "model" << obj << false << 0;
        QTest::newRow("missing obj is an empty model") << "missing/none.obj" << QByteArray() << true << 0;
        QTest::newRow("missing stl fails") << "missing/none.stl" << QByteArray() << false << 0;
    }

    void pathDecidesFormat()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QFETCH(int, count);
        const QString path = m_dir.filePath(name);
        if (!name.startsWith("missing"))
            QVERIFY(WriteBytes(path, bytes));
        KzModel3D model;
        QCOMPARE(model.LoadSTLFile(path), accepted);
        QCOMPARE(model.ReadyToRender(), accepted);
        QCOMPARE(model.Count(), count);
        QCOMPARE(model.FileName(), accepted ? path : QString());
    }

    void objFaces_data()
    {
        QTest::addColumn<QByteArray>("faces");
        QTest::addColumn<QVector<int>>("corners");   // 1-based vertex numbers, three per triangle
        QTest::newRow("plain") << QByteArray("f 1 2 3\n") << QVector<int>{1, 2, 3};
        QTest::newRow("quad gives its first triangle") << QByteArray("f 1 2 3 4\n") << QVector<int>{1, 2, 3};
        QTest::newRow("slashes") << QByteArray("f 1/1/1 2/2/2 3/3/3\nf 2//1 3//1 4//1\nf 4/2 3/1 1/3\n")
                                 << QVector<int>{1, 2, 3, 2, 3, 4, 4, 3, 1};
        QTest::newRow("out of range skipped")
            << QByteArray("f 0 1 2\nf 1 2 5\nf -1 -2 -3\nf 99999999999 1 2\nf x y z\nf 2 3 4\n")
            << QVector<int>{2, 3, 4};
        QTest::newRow("fewer than three corners skipped") << QByteArray("f 1 2\nf\nf 3 2 1\n") << QVector<int>{3, 2, 1};
        QTest::newRow("crlf and comments") << QByteArray("# f 1 2 3\r\ng part\r\nusemtl red\r\nf 1 3 4\r\n")
                                           << QVector<int>{1, 3, 4};
        QTest::newRow("no faces") << QByteArray() << QVector<int>{};
    }

    void objFaces()
    {
        QFETCH(QByteArray, faces);
        QFETCH(QVector<int>, corners);
        const QVector3D v[4] = {QVector3D(0, 0, 0), QVector3D(1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, 0, 1)};
        const QByteArray text = "v 0 0 0\nvn 0 0 1\nv 1 0 0\nvt 0.5 0.5\nv 0 1 0\nvn 1 0 0\nv 0 0 1\n" + faces;
        auto model = Load(Write("faces.obj", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), corners.size() / 3);
        for (int i = 0; i < model->Count(); ++i) {
            for (int c = 0; c < 3; ++c)
                QCOMPARE(model->Item(i)[c], v[corners[i * 3 + c] - 1]);
        }
        if (model->Count() > 0)
            QCOMPARE(model->Item(0).GetNormal().length(), 1.0f);
    }

    void objVertexNumbers()
    {
        const QByteArray text = "v 1.5e1 -2 +3\nv 4x 0x10 5\nv 7\nf 1 2 3\n";
        auto model = Load(Write("numbers.obj", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), 1);
        QCOMPARE(model->Item(0)[0], QVector3D(15, -2, 3));
        QCOMPARE(model->Item(0)[1], QVector3D(4, 16, 5));   // leading number of each word, as atof reads it
        QCOMPARE(model->Item(0)[2], QVector3D(7, 0, 0));    // missing words are 0
    }

    // A named pipe nobody writes to holds open() up forever, on the GUI thread
    // that loads meshes, and a device never ends: neither is opened. An STL is
    // refused; an OBJ gives an empty model, as a missing one does.
    void pipesAndDevicesAreNotRead()
    {
        const QString pipeStl = m_dir.filePath("pipe.stl");
        const QString pipeObj = m_dir.filePath("pipe.obj");
        for (const QString& pipe : {pipeStl, pipeObj})
            QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const QString zeroStl = m_dir.filePath("zero.stl");
        const QString zeroObj = m_dir.filePath("zero.obj");
        for (const QString& link : {zeroStl, zeroObj})
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), link));
        const QList<QPair<QString, bool>> cases = {{pipeStl, false}, {zeroStl, false}, {pipeObj, true}, {zeroObj, true}};
        for (const auto& c : cases) {
            KzModel3D model;
            QVERIFY2(model.LoadSTLFile(c.first) == c.second, qPrintable(c.first));
            QCOMPARE(model.Count(), 0);
        }
    }

    // A line longer than the reader's block, then the data.
    void objVeryLongLine()
    {
        QByteArray text = "# " + QByteArray(3 << 20, 'x') + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3";
        auto model = Load(Write("long.obj", text));
        QVERIFY(model);
        QCOMPARE(model->Count(), 1);
        QCOMPARE(model->Item(0)[1], QVector3D(1, 0, 0));
    }
};

QTEST_GUILESS_MAIN(TestKzModelLoader)
#include "tst_KzModelLoader.moc"
