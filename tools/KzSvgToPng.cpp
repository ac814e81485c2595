// Renders one SVG picture into a PNG of a given size. The build runs it for
// every line of app/Resources/pictures.txt, so the pictures stay readable
// sources in the repository and only the PNGs go into the resources.
//
//   KzSvgToPng <in.svg> <out.png> <width>x<height> [color]
//
// The optional color replaces the picture's "color" attribute on its root
// element, which its shapes pick up through "currentColor"; one drawing then
// gives both the normal and the pressed state of a button.
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextStream>

namespace {

int Fail(const QString& message)
{
    QTextStream(stderr) << "KzSvgToPng: " << message << "\n";
    return 1;
}

bool ParseSize(const QString& text, QSize& size)
{
    const QRegularExpressionMatch m = QRegularExpression("^(\\d{1,4})x(\\d{1,4})$").match(text);
    if (!m.hasMatch())
        return false;
    size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    return size.width() > 0 && size.height() > 0;
}

// Sets (or adds) color="..." on the root <svg> element.
bool ApplyColor(QByteArray& svg, const QString& color)
{
    const QString text = QString::fromUtf8(svg);
    const QRegularExpressionMatch root = QRegularExpression("<svg\\b[^>]*>").match(text);
    if (!root.hasMatch())
        return false;
    QString tag = root.captured(0);
    const QRegularExpression attr("\\scolor\\s*=\\s*\"[^\"]*\"");
    const QString value = QString(" color=\"%1\"").arg(color);
    if (tag.contains(attr))
        tag.replace(attr, value);
    else
        tag.insert(4, value);
    svg = (text.left(root.capturedStart()) + tag + text.mid(root.capturedEnd())).toUtf8();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // Fonts and the painter need a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 5)
        return Fail("usage: KzSvgToPng <in.svg> <out.png> <width>x<height> [color]");

    QSize size;
    if (!ParseSize(args[3], size))
        return Fail(QString("bad size '%1', expected e.g. 25x20").arg(args[3]));

    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(QString("cannot read %1").arg(args[1]));
    QByteArray svg = in.readAll();
    if (args.size() == 5 && !ApplyColor(svg, args[4]))
        return Fail(QString("%1 has no <svg> element").arg(args[1]));

    QSvgRenderer renderer;
    if (!renderer.load(svg) || !renderer.isValid())
        return Fail(QString("%1 is not a valid SVG picture").arg(args[1]));

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    painter.end();

    if (!image.convertToFormat(QImage::Format_ARGB32).save(args[2], "PNG"))
        return Fail(QString("cannot write %1").arg(args[2]));
    return 0;
}
