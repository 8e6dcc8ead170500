#pragma once
#include <QWidget>

// The picture of one unit model on the monitoring page (Image1(index), index 0 … 5 in the order
// GSM4, GSM4T, GSM8, GSM8T, GSM12, GSM12T): a front view drawn by the program, with the model name,
// one terminal per input and, for the "T" models, the temperature probe.
class ModelPictureWidget : public QWidget {
    Q_OBJECT
public:
    explicit ModelPictureWidget(int index, QWidget *parent = nullptr);

    int index() const { return m_index; }
    int inputs() const { return 4 * (m_index / 2 + 1); }
    bool thermo() const { return m_index % 2 == 1; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_index;
};
