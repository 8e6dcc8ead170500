#pragma once
#include "shell/Page.h"
#include <QList>
#include <QString>
#include <utility>

class QGroupBox;
class QLabel;
class DeviceInfo;

// The page "Информация об устройстве" (RPF_05): captions Label1(i) and greyed values Label2(i) in four
// frames, refilled from DeviceInfo whenever the page is activated.
class DeviceInfoPage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_05");
    inline static const QString kCaption = QStringLiteral("Информация об устройстве");

    explicit DeviceInfoPage(DeviceInfo &info, QWidget *parent = nullptr);

    void Form_Activate() override;

    QLabel *captionLabel(int index) const;   // Label1(index)
    QLabel *valueLabel(int index) const;     // Label2(index)

private:
    void addFrame(const QString &name, const QString &title, const QList<int> &indexes, int leftTwips, int topTwips,
                  int widthTwips);
    // Places the captions of a frame by the width their text takes in their font, the values beside.
    void layoutFrame(QGroupBox *frame, const QList<int> &indexes);
    void layoutFrames();

    DeviceInfo &m_info;
    QList<std::pair<QGroupBox *, QList<int>>> m_frames;
};
