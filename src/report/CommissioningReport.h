#pragma once
#include "unit/CommissioningData.h"
#include <QByteArray>
#include <QString>

// The commissioning report an installer hands over: one unit's identity, every setting as the pages
// show it, and what the unit measured when the report was made, as an A4 PDF in Russian with real
// text. Needs a QGuiApplication (fonts), on any platform, "offscreen" included.
class CommissioningReport {
public:
    static constexpr int kMaxPages = 8;

    // The report into path through the program's file writer; empty when written, otherwise the
    // file seam's message naming the file (the earlier file is then kept as it was).
    static QString write(const QString &path, const CommissioningData &data);
    // The PDF's bytes; pages gets the page count.
    static QByteArray pdf(const CommissioningData &data, int *pages = nullptr);
    // The report's text as the document holds it, in HTML.
    static QString html(const CommissioningData &data);
    static QString version();
};
