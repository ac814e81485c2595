#include "KzMeshFixtures.h"
#include "KzModel3D.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>
#include <QtTest>

#include <GL/gl.h>

#include <cmath>
#include <memory>

using namespace KzMeshFixtures;

class TestKzModel3D : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QOffscreenSurface m_surface;
    std::unique_ptr<QOpenGLContext> m_pContext;

    QString WriteGrid(int n)
    {
        const QString path = m_dir.filePath(QString("grid%1.stl").arg(n));
        if (!QFile::exists(path))
            WriteBytes(path, BinaryStl(Grid(n)));
        return path;
    }

    std::unique_ptr<QOpenGLContext> MakeContext(QOpenGLContext* share = nullptr)
    {
        auto context = std::make_unique<QOpenGLContext>();
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        context->setFormat(format);
        context->setShareContext(share);
        if (!context->create())
            return nullptr;
        return context;
    }

    // Bytes a buffer object holds, in the current context.
    static GLint BufferBytes(GLuint name)
    {
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        GLint bytes = -1;
        gl->glBindBuffer(GL_ARRAY_BUFFER, name);
        gl->glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        return bytes;
    }

    static bool IsBuffer(GLuint name)
    {
        return QOpenGLContext::currentContext()->functions()->glIsBuffer(name);
    }

    // What a drawing sends down the pipeline, read back through the feedback
    // buffer: every corner's window position and lit colour, in drawing order.
    // The light makes a facet's colour depend on its normal.
    template <typename Draw>
    static std::vector<GLfloat> LitFeedback(int facets, Draw draw)
    {
        std::vector<GLfloat> buffer(size_t(facets) * (2 + 3 * 7) + 16);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        draw();
        const GLint values = glRenderMode(GL_RENDER);
        glDisable(GL_LIGHTING);
        buffer.resize(size_t(qMax(values, 0)));
        return buffer;
    }

    // The model's facets drawn one begin/end pair each.
    static std::vector<GLfloat> FacetByFacetFeedback(const KzModel3D& model)
    {
        return LitFeedback(model.Count(), [&] { FacetByFacet(model); });
    }

    static void FacetByFacet(const KzModel3D& model)
    {
        for (int i = 0; i < model.Count(); ++i) {
            const KzTriangle3D t = model.Item(i);
            glBegin(GL_TRIANGLES);
            glNormal3f(t.GetNormal().x(), t.GetNormal().y(), t.GetNormal().z());
            for (int c = 0; c < 3; ++c)
                glVertex3f(t[c].x(), t[c].y(), t[c].z());
            glEnd();
        }
    }

    // The model drawn from its buffers, and what it leaves as the current normal.
    static std::vector<GLfloat> BufferFeedback(const KzModel3D& model, QVector3D& normal)
    {
        glNormal3f(7, 7, 7);
        const std::vector<GLfloat> drawn = LitFeedback(model.Count(), [&] { model.DrawFacets(); });
        GLfloat current[3];
        glGetFloatv(GL_CURRENT_NORMAL, current);
        normal = QVector3D(current[0], current[1], current[2]);
        return drawn;
    }

    // A lit, multisampled picture of the model under a turned camera.
    template <typename Draw>
    static QImage Picture(const KzModel3D& model, Draw draw)
    {
        QOpenGLFramebufferObjectFormat format;
        format.setSamples(4);
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        QOpenGLFramebufferObject fbo(160, 120, format);
        fbo.bind();
        glViewport(0, 0, 160, 120);
        glClearColor(0.6f, 0.6f, 0.6f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.6, 0.6, -0.45, 0.45, 1, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -3);
        glRotatef(-50, 1, 0, 0);
        glRotatef(20, 0, 0, 1);
        glTranslatef(-model.GetCenter().x(), -model.GetCenter().y(), -model.GetCenter().z());
        const GLfloat position[] = {0.4f, 0.5f, 1.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_NORMALIZE);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_MULTISAMPLE);
        draw();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        fbo.release();
        return fbo.toImage();
    }

    // Facets tilted each its own way, all inside the unit cube.
    static std::vector<Facet> TiltedFacets(int n)
    {
        std::vector<Facet> out(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const float x = float(i % 100) / 60.0f - 0.85f;
            const float y = float((i / 100) % 101) / 60.0f - 0.85f;
            const float z = 0.4f * std::sin(float(i) * 0.7f);
            out[size_t(i)].corner[0] = QVector3D(x, y, z);
            out[size_t(i)].corner[1] = QVector3D(x + 0.01f, y, 0.3f * std::cos(float(i) * 1.3f));
            out[size_t(i)].corner[2] = QVector3D(x, y + 0.01f, -z);
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_surface.create();
        m_pContext = MakeContext();
        QVERIFY2(m_pContext, "no OpenGL context (run under Xvfb)");
        QVERIFY(m_pContext->makeCurrent(&m_surface));
    }

    // Must stay the first test: no model exists before it in this process.
    void idsStartAtOneAndAreNeverReused()
    {
        auto first = std::make_unique<KzModel3D>();
        auto second = std::make_unique<KzModel3D>();
        QCOMPARE(first->ID(), 1);
        QCOMPARE(second->ID(), 2);
        first.reset();
        KzModel3D third;
        QCOMPARE(third.ID(), 3);
    }

    void referenceCountHasNoBounds()
    {
        KzModel3D model;
        QVERIFY(!model.IsRefered());
        model.DecreaseReference();
        QVERIFY(!model.IsRefered());   // -1
        model.IncreaseReference();
        QVERIFY(!model.IsRefered());   // 0
        model.IncreaseReference();
        model.IncreaseReference();
        QVERIFY(model.IsRefered());
        model.DecreaseReference();
        QVERIFY(model.IsRefered());
    }

    void failedLoadLeavesModelEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown suffix") << "model.3mf";
        QTest::newRow("no suffix") << "model";
        QTest::newRow("missing stl") << "missing.stl";
    }

    void failedLoadLeavesModelEmpty()
    {
        QFETCH(QString, name);
        const QString path = m_dir.filePath(name);
        if (!name.startsWith("missing"))
            QVERIFY(WriteBytes(path, BinaryStl(Grid(3))));
        // The loader of a failed load is freed with the model (the sanitizer
        // build's leak check sees it otherwise).
        KzModel3D model;
        QVERIFY(!model.LoadSTLFile(path));
        QVERIFY(!model.ReadyToRender());
        QVERIFY(model.FileName().isEmpty());
        QCOMPARE(model.Count(), 0);
    }

    void buffersHoldTenThousandFacetsEach_data()
    {
        QTest::addColumn<int>("facets");
        QTest::addColumn<QVector<int>>("perBuffer");
        QTest::newRow("0") << 0 << QVector<int>{};
        QTest::newRow("1") << 1 << QVector<int>{1};
        QTest::newRow("10000") << 10000 << QVector<int>{10000};
        QTest::newRow("10001") << 10001 << QVector<int>{10000, 1};
        QTest::newRow("25000") << 25000 << QVector<int>{10000, 10000, 5000};
    }

    // Six floats (normal, corner) for each of a facet's three vertices.
    void buffersHoldTenThousandFacetsEach()
    {
        QFETCH(int, facets);
        QFETCH(QVector<int>, perBuffer);
        auto model = std::make_unique<KzModel3D>();
        QVERIFY(model->LoadSTLFile(WriteGrid(facets)));
        QVERIFY(model->ReadyToRender());
        QCOMPARE(model->Count(), facets);
        QCOMPARE(model->GetBufferFacets(), perBuffer);
        const QVector<unsigned int> names = model->GetBuffers();
        QCOMPARE(names.size(), perBuffer.size());
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(IsBuffer(names[i]));
            QCOMPARE(BufferBytes(names[i]), perBuffer[i] * 3 * 6 * int(sizeof(float)));
        }
        model.reset();   // context current: the buffers go with the model
        for (unsigned int name : names)
            QVERIFY(!IsBuffer(name));
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
    }

    // The buffers must draw the facets exactly as one begin/end pair per
    // facet would: same corners, same normals, same order, across the split
    // between buffers; the same pixels, multisampled and lit; and the normal
    // left current, which the next lit drawing may take, must be the same.
    void buffersDrawLikeFacetByFacet()
    {
        const QString path = m_dir.filePath("tilted.stl");
        QVERIFY(WriteBytes(path, BinaryStl(TiltedFacets(10003))));
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(path));
        QCOMPARE(model.GetBufferFacets(), (QVector<int>{10000, 3}));
        QVector3D left;
        const std::vector<GLfloat> drawn = BufferFeedback(model, left);
        const std::vector<GLfloat> expected = FacetByFacetFeedback(model);
        QCOMPARE(expected.size(), size_t(10003 * 23));
        QVERIFY2(drawn == expected, "the buffers draw differently");
        QCOMPARE(left, model.Item(10002).GetNormal());

        const QImage fromBuffers = Picture(model, [&] { model.DrawFacets(); });
        const QImage facetByFacet = Picture(model, [&] { FacetByFacet(model); });
        QVERIFY(fromBuffers.pixel(80, 60) != qRgba(153, 153, 153, 255));   // the model is in the picture
        QCOMPARE(fromBuffers, facetByFacet);
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
    }

    // The facets reach the buffers in chunks while the file is still being
    // read. An ASCII file announces no count, so nothing is reserved ahead;
    // every facet must still land in its buffer, in file order, and the
    // bounds must cover every chunk, not only the first or the last.
    void asciiFileStreamsIntoTheSameBuffers()
    {
        std::vector<Facet> facets = TiltedFacets(20001);
        // The extremes sit in the second and the last chunk (still inside the
        // unit cube, which the feedback below sees).
        facets[15000].corner[1] = QVector3D(0.95f, -0.9f, 0.9f);
        facets[20000].corner[2] = QVector3D(-0.95f, 0.97f, -0.93f);
        const QString ascii = m_dir.filePath("tilted-ascii.stl");
        QVERIFY(WriteBytes(ascii, AsciiStl(facets)));
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(ascii));
        QCOMPARE(model.Count(), 20001);
        QCOMPARE(model.MaxBound(), QVector3D(0.95f, 0.97f, 0.9f));
        QCOMPARE(model.MinBound(), QVector3D(-0.95f, -0.9f, -0.93f));
        for (int i : {0, 9999, 10000, 15000, 20000})
            QCOMPARE(model.Item(i)[1], facets[size_t(i)].corner[1]);
        QCOMPARE(model.GetBufferFacets(), (QVector<int>{10000, 10000, 1}));
        QVector3D left;
        QVERIFY2(BufferFeedback(model, left) == FacetByFacetFeedback(model), "the buffers draw differently");
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
    }

    // A second file loaded into the same model adds its facets; the buffers
    // are all made again over the whole mesh and the bounds cover both files.
    void secondLoadRebuildsEveryBuffer()
    {
        std::vector<Facet> far = TiltedFacets(3);
        for (Facet& f : far) {
            for (QVector3D& c : f.corner)
                c += QVector3D(0, 0, 0.5f);
        }
        const QString farPath = m_dir.filePath("far.stl");
        QVERIFY(WriteBytes(farPath, BinaryStl(far)));
        auto model = std::make_unique<KzModel3D>();
        QVERIFY(model->LoadSTLFile(WriteGrid(10000)));
        QCOMPARE(model->GetBufferFacets(), QVector<int>{10000});
        QVERIFY(model->LoadSTLFile(farPath));
        QCOMPARE(model->Count(), 10003);
        QCOMPARE(model->GetBufferFacets(), (QVector<int>{10000, 3}));
        QCOMPARE(model->MinBound(), QVector3D(-0.85f, -0.85f, 0));   // the second file's corner
        QVERIFY(model->MaxBound().z() > 0.7f);
        QCOMPARE(model->Item(10002)[0], far[2].corner[0]);
        QVector3D left;
        QVERIFY2(BufferFeedback(*model, left) == FacetByFacetFeedback(*model), "the buffers draw differently");
        const QVector<unsigned int> names = model->GetBuffers();
        model.reset();
        for (unsigned int name : names)
            QVERIFY(!IsBuffer(name));
    }

    void emptyModelKeepsZeroBounds()
    {
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(WriteGrid(0)));
        QVERIFY(model.ReadyToRender());
        QCOMPARE(model.MinBound(), QVector3D(0, 0, 0));
        QCOMPARE(model.MaxBound(), QVector3D(0, 0, 0));
        QCOMPARE(model.GetCenter(), QVector3D(0, 0, 0));
        QCOMPARE(model.FileName(), WriteGrid(0));
    }

    void boundsAndCentre()
    {
        std::vector<Facet> facets(2);
        facets[0].corner[0] = QVector3D(-4, 2, 1);
        facets[0].corner[1] = QVector3D(6, 3, 1);
        facets[0].corner[2] = QVector3D(0, 8, 1);
        facets[1].corner[0] = QVector3D(1, -1, -3);
        facets[1].corner[1] = QVector3D(2, 0, 9);
        facets[1].corner[2] = QVector3D(1, 1, 0);
        const QString path = m_dir.filePath("bounds.stl");
        QVERIFY(WriteBytes(path, BinaryStl(facets)));
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(path));
        QCOMPARE(model.MinBound(), QVector3D(-4, -1, -3));
        QCOMPARE(model.MaxBound(), QVector3D(6, 8, 9));
        QCOMPARE(model.GetCenter(), QVector3D(1, 3.5f, 3));
    }

    void itemPtrDetachesFromTakenCopies()
    {
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(WriteGrid(5)));
        const QVector<KzTriangle3D> before = model.Triangls();
        const QVector3D old = before[2][1];
        model.ItemPtr(2)->operator[](1) = QVector3D(42, 42, 42);
        QCOMPARE(before[2][1], old);
        QCOMPARE(model.Item(2)[1], QVector3D(42, 42, 42));
        QCOMPARE(model.Triangls()[2][1], QVector3D(42, 42, 42));
    }

    void buffersOfAnotherContextAreNotTouched()
    {
        auto model = std::make_unique<KzModel3D>();
        QVERIFY(model->LoadSTLFile(WriteGrid(1)));
        const GLuint ours = model->GetBuffers().at(0);

        // A context that does not share with ours has its own names: give it
        // a buffer under the same number.
        std::unique_ptr<QOpenGLContext> other = MakeContext();
        QVERIFY(other);
        QVERIFY(other->makeCurrent(&m_surface));
        QOpenGLFunctions* gl = other->functions();
        const GLuint theirs = ours;
        gl->glBindBuffer(GL_ARRAY_BUFFER, theirs);
        gl->glBufferData(GL_ARRAY_BUFFER, 16, nullptr, GL_STATIC_DRAW);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        QVERIFY(IsBuffer(theirs));
        model->DrawFacets();   // not its buffers: draws nothing, touches nothing
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
        model.reset();
        QVERIFY(IsBuffer(theirs));
        QCOMPARE(BufferBytes(theirs), 16);
        gl->glDeleteBuffers(1, &theirs);

        QVERIFY(m_pContext->makeCurrent(&m_surface));
        QVERIFY(IsBuffer(ours));   // left alone, not deleted in the wrong place
        m_pContext->functions()->glDeleteBuffers(1, &ours);
    }

    void sharingContextDeletesTheBuffers()
    {
        auto model = std::make_unique<KzModel3D>();
        QVERIFY(model->LoadSTLFile(WriteGrid(1)));
        const GLuint name = model->GetBuffers().at(0);
        std::unique_ptr<QOpenGLContext> shared = MakeContext(m_pContext.get());
        QVERIFY(shared);
        QVERIFY(shared->makeCurrent(&m_surface));
        model.reset();
        QVERIFY(m_pContext->makeCurrent(&m_surface));
        QVERIFY(!IsBuffer(name));
    }

    void noContextMeansNoBuffersButBounds()
    {
        m_pContext->doneCurrent();
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(WriteGrid(3)));
        QVERIFY(m_pContext->makeCurrent(&m_surface));
        QVERIFY(model.ReadyToRender());
        QCOMPARE(model.Count(), 3);
        QVERIFY(model.GetBuffers().isEmpty());
        QCOMPARE(model.MinBound(), QVector3D(0, 0, 0));
        QVERIFY(qFuzzyCompare(model.MaxBound(), QVector3D(0.025f, 0.005f, 0)));
    }
};

QTEST_MAIN(TestKzModel3D)
#include "tst_KzModel3D.moc"
