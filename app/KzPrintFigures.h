#ifndef KZPRINTFIGURES_H
#define KZPRINTFIGURES_H

#include <QCoreApplication>
#include <QString>

// What a print takes, as the user reads it: time, filament length and the
// filament's weight ("1 h 13 min · 2.4 m · 7 g"), in the language of the
// program. The weight is the volume of the filament (its length through the
// cross-section of its diameter) times the material's density.
class KzPrintFigures
{
    Q_DECLARE_TR_FUNCTIONS(KzPrintFigures)

public:
    // Grams of filamentMm millimetres of filament diameterMm thick, of a
    // material densityGcm3 g/cm³ heavy.
    static double Grams(double filamentMm, double diameterMm, double densityGcm3);

    // "1 h 13 min", "13 min", "35 s" (seconds below a minute, none above).
    static QString TimeText(double seconds);
    // "2.4 m"
    static QString LengthText(double filamentMm);
    // "7 g" (a tenth of a gram below one gram)
    static QString WeightText(double grams);
    // Time, length and weight joined by " · "; a figure below 0 is left out.
    static QString Summary(double seconds, double filamentMm, double grams);
};

#endif // KZPRINTFIGURES_H
