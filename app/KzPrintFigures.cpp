#include "KzPrintFigures.h"

#include <QStringList>

#include <cmath>

double KzPrintFigures::Grams(double filamentMm, double diameterMm, double densityGcm3)
{
    const double radius = diameterMm / 2.0;
    const double cubicMm = filamentMm * M_PI * radius * radius;
    return cubicMm / 1000.0 * densityGcm3;
}

QString KzPrintFigures::TimeText(double seconds)
{
    const qint64 whole = qint64(std::llround(qMax(0.0, seconds)));
    if (whole < 60)
        return tr("%1 秒").arg(whole);
    const qint64 minutes = whole / 60;   // the seconds no longer matter
    const qint64 hours = minutes / 60;
    if (hours == 0)
        return tr("%1 分钟").arg(minutes);
    return tr("%1 小时 %2 分钟").arg(hours).arg(minutes % 60);
}

QString KzPrintFigures::LengthText(double filamentMm)
{
    return tr("%1 米").arg(filamentMm / 1000.0, 0, 'f', 1);
}

QString KzPrintFigures::WeightText(double grams)
{
    return tr("%1 克").arg(grams, 0, 'f', grams < 1.0 ? 1 : 0);
}

QString KzPrintFigures::Summary(double seconds, double filamentMm, double grams)
{
    QStringList parts;
    if (seconds >= 0.0)
        parts << TimeText(seconds);
    if (filamentMm >= 0.0)
        parts << LengthText(filamentMm);
    if (grams >= 0.0)
        parts << WeightText(grams);
    return parts.join(QStringLiteral(" · "));
}
