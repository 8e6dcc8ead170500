#pragma once
#include "unit/CommissioningData.h"
#include <QObject>
#include <QSizeF>
#include <QTextObjectInterface>

class QPainter;

// The monitoring trend of a report as a picture inside its text: the battery and supply voltages
// (left axis, volts) and the sensors' temperatures (right axis, degrees) over the seconds the
// report polled, drawn with a painter so that it stays lines and text in the PDF.
class TrendDrawing : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    static constexpr int kObjectType = QTextFormat::UserObject + 37;

    TrendDrawing(QList<CommissioningData::Sample> samples, QSizeF size, QObject *parent = nullptr);

    QSizeF intrinsicSize(QTextDocument *document, int position, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document, int position,
                    const QTextFormat &format) override;

    // The lines the legend names: "Акк", "Пит", "T1" … for the quantities that have a value.
    static QStringList lineNames(const QList<CommissioningData::Sample> &samples);
    static void draw(QPainter &painter, const QRectF &rect, const QList<CommissioningData::Sample> &samples);

private:
    QList<CommissioningData::Sample> m_samples;
    QSizeF m_size;
};
