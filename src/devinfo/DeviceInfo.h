#pragma once
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class ConfigImage;
class SerialLink;

// What the page "Информация об устройстве" shows, computed from the configuration image and the
// identified device name, plus the values it publishes to monitoring, firmware and the status panel.
class DeviceInfo {
public:
    inline static const QString kNoData = QStringLiteral("нет данных");
    inline static const QString kNotRegistered = QStringLiteral("не зарегистрирован");
    inline static const QString kRegistered = QStringLiteral("зарегистрирован");
    inline static const QString kError = QStringLiteral("ошибка");
    // Every field but the name while the image is another unit's than the one answering.
    inline static const QString kNotRead = QStringLiteral("не прочитано");
    inline static const QString kModelPrefix = QStringLiteral("ЗОРГЕЛ-GSM");

    // Field indexes by frame.
    static QList<int> generalIndexes() { return {1, 2, 3, 4, 5, 6, 7}; }
    static QList<int> keyIndexes() { return {11, 12, 13, 14, 15, 16, 17}; }
    static QList<int> sensorIndexes() { return {31, 32, 33, 34, 35}; }
    static QList<int> blockIndexes() { return {21, 22, 23, 24, 25}; }
    static QList<int> allIndexes();
    // Label1(i): the caption of field i ("" for an unknown index).
    static QString caption(int index);

    DeviceInfo(const ConfigImage &image, const SerialLink &link) : m_image(image), m_link(link) {}

    // Rebuilds every value from the image and the device name (the page's fill routine).
    void fill();
    // Label2(i) after the last fill; "нет данных" before the first.
    QString value(int index) const { return m_values.value(index, kNoData); }
    // The status panel forgets the versions when the port closes.
    void clearVersions();

    std::optional<int> KolichestvoVhodov;   // 4, 8 or 12; keeps the last valid count
    QString VersiaJadra;
    QString VersiaProshivki;

    // The model as the page names it from the cells 2369 (inputs) and 2370 (variant); "нет данных"
    // for a variant it does not know.
    static QString modelName(const QString &inputsCell, const QString &variantCell);
    // Leading decimal digits of a text as a number, 0 when it starts otherwise.
    static int leadingNumber(const QString &text);

private:
    QString joinedCells(int first, int last) const;
    QString identifier(int first) const;
    QString version(int first) const;

    const ConfigImage &m_image;
    const SerialLink &m_link;
    QMap<int, QString> m_values;
};
