// TLogoForm: the borderless start-up picture, 336 x 305, centred on the
// desktop, shown while the main window is created and the writer polled.
#pragma once

#include <QWidget>

class TLogoForm : public QWidget {
    Q_OBJECT
  public:
    explicit TLogoForm(QWidget* parent = nullptr);

    // The product picture, drawn once (no file needed at run time).
    static QPixmap ProductPicture();

  signals:
    // After the first paint, so start-up can go on with the picture on screen.
    void Painted();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap Picture;
    bool PaintedOnce = false;
};
